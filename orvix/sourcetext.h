// SourceText: the bytes of an assembly source on their way to the loader's
// LineReader, and what each source line holds that the reader does not
// say: its length, whether a NUL byte cuts it short, and, when asked, its
// bytes as written.
//
// The reader takes the bytes through read() and alone decides how they
// become statements; the source is read once, from a stream or from memory,
// and never held whole (unless the lines are kept). Lines are numbered as an
// editor numbers them; a line's length counts its bytes without its LF or
// CR LF. What Windows editors put in front of the text is dealt with here:
// a UTF-8 byte order mark is no part of line 1, and a source in UTF-16 is
// not read at all. Where asked, a Ctrl-Z byte ends the source, as Windows'
// text mode reads a file. Not thread-safe; one object reads one source once.

#ifndef ORVIX_SOURCETEXT_H_
#define ORVIX_SOURCETEXT_H_

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

class SourceText {
 public:
  // What one source line holds.
  struct Line {
    long long number = 0;  // 1-based
    long long length = 0;  // bytes without the LF or CR LF
    bool nul = false;      // a NUL byte stands in it
    bool ctrlz = false;    // a Ctrl-Z byte at `length` ends the source; text follows it
    std::string text;      // its bytes without the line end, when lines are kept
  };

  // Reads the open stream `fp`, which stays the caller's.
  explicit SourceText(FILE* fp);
  // Reads `size` bytes at `text`, which must outlive the object.
  SourceText(const char* text, size_t size);

  SourceText(const SourceText&) = delete;
  SourceText& operator=(const SourceText&) = delete;

  // Keeps the bytes of every line from now on, for lines().
  void keepLines() { keep_ = true; }
  // Notes, from now on, every line longer than `bytes`.
  void noteLongerThan(long long bytes) { longest_ = bytes; }
  // Ends the source at the first Ctrl-Z byte read from now on. What follows
  // it is read only to tell whether it is more than line ends.
  void endAtCtrlZ() { ctrlz_ = true; }

  // The LineReader's byte source (LineReaderBytes), `self` being the
  // object: up to `size` bytes, 0 at the end of the source or after a read
  // error, after which nothing more is read.
  static size_t read(void* self, char* buf, size_t size);

  // The lines read so far that are noted (longer than noteLongerThan says,
  // holding a NUL byte, or cut by a Ctrl-Z byte with more than line ends
  // after it), or every line when lines are kept; a last line
  // without a line end counts once the source is read to its end.
  const std::vector<Line>& lines() const { return lines_; }
  // True when a read of the stream failed, or the source is UTF-16 text.
  bool failed() const { return failed_; }
  // True when the source begins with a UTF-16 byte order mark.
  bool utf16() const { return utf16_; }
  // The system's error number of the failed read; 0 when unknown.
  int error() const { return error_; }
  // The number of the line being read when the source ended or failed.
  long long lastLine() const { return current_.number; }

 private:
  // Stores up to `size` bytes of the source in `buf` and sets `n` to their
  // number, 0 at its end; false when the read failed (error_ says why).
  bool fetch(char* buf, size_t size, size_t& n);
  // True when anything but CR and LF is in the `n` bytes at `rest` or in the
  // source after them, which is read through `scratch` (`size` bytes).
  bool textfollows(const char* rest, size_t n, char* scratch, size_t size);
  // Notes `n` bytes at `bytes` as part of the lines being read.
  void take(const char* bytes, size_t n);
  // Ends the current line, `newline` telling whether a LF ended it.
  void endline(bool newline);

  FILE* fp_ = nullptr;
  const char* text_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  bool keep_ = false;
  long long longest_ = -1;  // -1: no line is noted for its length
  bool ended_ = false;
  bool failed_ = false;
  bool utf16_ = false;
  bool ctrlz_ = false;    // a Ctrl-Z byte ends the source
  bool started_ = false;  // the first bytes have been looked at
  int error_ = 0;
  char last_ = '\0';             // the last byte of the current line so far
  long long current_bytes_ = 0;  // bytes of the current line so far, CR included
  Line current_;
  std::vector<Line> lines_;
};

#endif  // ORVIX_SOURCETEXT_H_
