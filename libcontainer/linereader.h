#ifndef LIBCONTAINER_LINEREADER_H_
#define LIBCONTAINER_LINEREADER_H_

/// LineReader turns a text source into logical lines for a line-oriented
/// parser. It reads a stream (with fgets), the text of a String, or the
/// bytes a caller's function delivers and, as
/// configured, trims whitespace, drops blank lines and whole-line comments,
/// cuts comments that start later in a line, and joins a line with the next
/// when it ends with an end-of-line continuation pattern or the next begins
/// with a begin-of-next-line continuation pattern.
///
/// A raw line holds at most max_line_length - 1 bytes; a longer input line
/// arrives as several lines. Continuation patterns are tokens separated by
/// "|", matched in order with any whitespace between them.
///
/// Every line handed back knows where it came from: the number of the input
/// line it begins on, counted as an editor counts lines (each newline ends
/// one; the pieces of an over-long line and the bytes after a NUL byte all
/// belong to their one line), and the byte offset within that line of its
/// first character. A parser can so report a place without reading its input
/// a second time.
///
/// Memory: the reader reads ahead and keeps what it has read queued, so its
/// memory grows with the input. Each getLine pulls one cleaned line more than
/// it consumes, plus one for every look at the following line, so a call
/// that joins nothing pulls three lines and hands back one: about two lines
/// more stay queued per call, until the input is exhausted (at most about two
/// thirds of the kept lines are queued at once). This pull order is part of
/// the reader's behaviour, visible through linesRead(), which counts the raw
/// lines taken from the input, read-ahead included, not the line last
/// delivered; the reader does not bound it.
///
/// Ownership: the reader owns its raw-line buffer, its copy of in-memory
/// input and every queued line (each sized to its text), and frees the
/// queued lines as getLine consumes them or when it is destroyed. The stream
/// belongs to the caller and is never closed by the reader.
///
/// Single-threaded. Not copyable.

#include <cstddef>
#include <cstdio>

#include "queue.h"
#include "string.h"
#include "stringarray.h"

// The first argument of LineReader::configure. The underlying type is fixed
// so that any int converts to a valid value; configure ignores the others.
enum LineReaderSetting : int {
  LR_SET_TRIM_LINES = 0,         // flag: non-null trims lines
  LR_SET_WHITESPACE = 1,         // text: the whitespace set (null: empty)
  LR_SET_CASE_SENSITIVE = 2,     // flag: non-null compares case-sensitively
  LR_ADD_EOL_CONTINUE = 3,       // text: end-of-line continuation pattern
  LR_ADD_BNL_CONTINUE = 4,       // text: begin-of-next-line continuation
  LR_ADD_COMMENT_START = 5,      // text: comment-start pattern
  LR_ADD_COMMENT_EXCEPTION = 6,  // text: cancels a comment start at its place
  LR_ADD_PARTIAL_COMMENT = 7     // text: a comment start allowed mid-line
};

// strncmp(s1, s2, n): 0 when the first n characters agree.
int fwcmp(const char* s1, const char* s2, int n);
// strncasecmp(s1, s2, n): as fwcmp, ignoring letter case.
int fwcmpi(const char* s1, const char* s2, int n);

// A source of input bytes, read as fread reads a stream: stores up to `size`
// bytes in `buf` and returns how many; 0 at the end of the input.
typedef size_t (*LineReaderBytes)(void* context, char* buf, size_t size);

class LineReader {
 public:
  // Reads the open stream `finput`, which stays the caller's.
  // REQUIRES: finput != nullptr && max_line_length >= 2
  LineReader(FILE* finput, int max_line_length);
  // Reads a copy of `cinput`, whose lines are separated by newlines.
  // REQUIRES: max_line_length >= 2
  LineReader(const String& cinput, int max_line_length);
  // Reads the bytes `read` delivers with `context`, cut into raw lines as
  // fgets cuts a stream: NUL bytes are read as any other byte, and the text
  // of a raw line ends at its first NUL. `context` stays the caller's.
  // REQUIRES: read != nullptr && max_line_length >= 2
  LineReader(LineReaderBytes read, void* context, int max_line_length);
  // Frees every queued line and the raw-line buffer; the stream stays open.
  virtual ~LineReader();

  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Applies one setting (see LineReaderSetting), copying texts, at any time.
  void configure(LineReaderSetting type, void* pat);
  // The next logical line into `line` and true; false and "" at the end.
  bool getLine(String& line);
  // Number of raw lines taken from the input so far, read-ahead included.
  int linesRead();
  // The 1-based number of the input line on which the line last handed back
  // by getLine begins (its first part, when continuation joined several);
  // 0 before the first.
  long long lineNumber();
  // The byte offset, within that input line, of the first character of the
  // line last handed back: what trimming and the pieces before it in an
  // over-long line took away.
  long long lineOffset();

 private:
  // Common tail of both constructors: buffer, counters, default settings.
  void setup();
  // Where a queued line began, kept in front of its buffer.
  struct LinePlace {
    long long number;
    long long offset;
  };
  // A new line buffer of `size` bytes. A zero guard byte sits just before
  // it, so that backward scans stop at the start of the line, and its place
  // before that.
  char* allocLine(int size);
  // Releases a buffer from allocLine; null is ignored.
  void freeLine(char* ln);
  // The place of a buffer from allocLine.
  static LinePlace placeOf(const char* ln);
  static void setPlace(char* ln, const LinePlace& place);
  // Reads one raw line into `buf`, counts it and notes its place; false at
  // the end of input.
  bool readRawLine();
  // Cuts one raw line from the caller's bytes into `buf`: its length, NUL
  // bytes included, or 0 at the end of input.
  int readRawBytes();
  // One pull: reads, cleans and queues the next kept line, if any.
  void readOneTrimmedFileLine();
  // Applies the comment patterns to the trimmed line at `start`: true when it
  // is a whole-line comment; otherwise a comment later in it is cut in place.
  bool cutComment(char* start);
  // True when a comment exception agrees at `cmt_start`.
  bool isCommentException(const char* cmt_start);
  // True when `ch` is in the whitespace set (the terminator never is).
  bool isWhitespace(char ch) const;
  // Advances `lptr` over whitespace; stops at the terminator.
  void ffWsp(char*& lptr);
  // Moves `rptr` back over whitespace, never before the line's first byte.
  void rwWsp(char*& rptr);
  // Matches `pattern` from `s`: the position just past the match, or null.
  char* matchPatternForward(char* s, const String& pattern);
  // Matches `pattern` ending at `s`: the position just before the match
  // (the guard byte when the match begins the line), or null.
  char* matchPatternReverse(char* s, const String& pattern);
  // The first of `patterns` that matches forward from `s`: the position just
  // past its match, or null. (Not const: StringArray's const [] copies.)
  char* matchFirstForward(char* s, StringArray& patterns);
  // The first of `patterns` that matches ending at `s`: the position just
  // before its match, or null.
  char* matchFirstReverse(char* s, StringArray& patterns);
  // Appends the queued line `ln` to `line`, then frees it.
  void appendAndFree(String& line, char* ln);

  int (*StrCompare)(const char*, const char*, int);
  String fchars;
  char* fpchar;
  FILE* finp;
  char* buf;
  int buf_size;
  Queue<char> file_lines;
  int lnct;
  bool trim;
  String whitespace;
  StringArray cmt_patterns;
  StringArray cmt_partials;
  StringArray cmt_exceptions;
  StringArray eol_patterns;
  StringArray bnl_patterns;
  // Input from the caller's function: the function, its context, and the
  // bytes it delivered that no raw line has taken yet.
  LineReaderBytes bytes_read;
  void* bytes_context;
  char* bytes;
  int bytes_pos;
  int bytes_len;
  // Places: of the next byte of input, of the raw line in `buf`, and of the
  // line last handed back.
  LinePlace input_place;
  LinePlace raw_place;
  LinePlace last_place;
};

#endif  // LIBCONTAINER_LINEREADER_H_
