// SourceLines: the source read line by line, each line numbered as an editor
// numbers it, for the loader's LineReader.
//
// The loader must know which source line every statement comes from, yet
// the LineReader decides alone how it cuts a stream into statements (pieces
// of over-long lines, NUL bytes, comments, trimming). So the reader is not
// given the source itself, but a scratch file that holds one source line at
// a time: the line's bytes, exactly as the source stream delivered them,
// then the end of the file. Every statement the reader returns before the
// next line is added was cut from the current line by the reader's own
// rules, reading a real stream with fgets as it would read the source; so
// the line numbers are exact on every system, with no second copy of those
// rules. Not thread-safe; one object reads one source once.

#ifndef ORVIX_SOURCELINES_H_
#define ORVIX_SOURCELINES_H_

#include <cstdio>
#include <string>

// Hands a source stream to the LineReader one source line at a time, and
// measures each line. The scratch file holds the current line alone, so it
// is as large as the longest line so far (a line longer than the process
// may write to a file is a read error); it is removed when the object is
// destroyed.
class SourceLines {
 public:
  // Reads `source`, which stays the caller's.
  explicit SourceLines(FILE* source);
  // Closes (and so removes) the scratch file; `source` stays open.
  ~SourceLines();

  SourceLines(const SourceLines&) = delete;
  SourceLines& operator=(const SourceLines&) = delete;

  // The stream to build the LineReader on; null when it could not be made.
  FILE* stream() { return lines_; }
  // Makes the next source line, read whole, the reader's input up to its
  // end. False at the end of the source, on a read error (no byte of a line
  // that could not be read to its end is handed over) or when the scratch
  // file fails.
  // REQUIRES: the reader has read the previous line to its end.
  bool next();
  // 1-based number of the current line.
  long number() const { return number_; }
  // Bytes of the current line, without its LF or CR LF.
  long long length() const { return length_ - (last_ == '\r' && newline_ ? 1 : 0); }
  // True when the current line holds a NUL byte.
  bool hasNul() const { return nul_; }
  // Keeps the bytes of each line from now on, for text().
  void keepText() { keep_ = true; }
  // The bytes of the current line, without its LF or CR LF, when they are
  // kept.
  std::string text() const { return text_.substr(0, static_cast<size_t>(length())); }
  // True when a read of the source failed and what came before it is used up
  // (the lines before the error are loaded), or the reader's stream failed.
  bool failed() const { return failed_ || (lines_ && ferror(lines_)); }
  // The system's error number of the failed read of the source; 0 when
  // unknown.
  int error() const { return error_; }

 private:
  // Refills the chunk from the source; false at its end or on an error.
  bool fill();
  // Appends the rest of the current line to the scratch file and measures
  // it; false on a read or write error.
  bool copyline();

  FILE* source_;
  FILE* lines_ = nullptr;
  char chunk_[8192];
  size_t chunk_pos_ = 0;
  size_t chunk_len_ = 0;
  long number_ = 0;
  long long length_ = 0;  // bytes before the newline, CR included
  char last_ = '\0';      // the last byte before the newline
  bool newline_ = false;  // the current line ended in a newline
  bool nul_ = false;
  bool failed_ = false;
  int error_ = 0;
  bool keep_ = false;
  std::string text_;  // the current line's bytes before its newline, when kept
};

#endif  // ORVIX_SOURCELINES_H_
