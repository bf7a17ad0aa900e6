// SourceLines: the source read line by line, each line numbered as an editor
// numbers it, for the loader's LineReader.
//
// The loader must know which source line every statement comes from, yet
// the LineReader decides alone how it cuts a stream into statements (pieces
// of over-long lines, comments, trimming). So the reader is not given the
// source itself. Not thread-safe; one object reads one source once.

#ifndef ORVIX_SOURCELINES_H_
#define ORVIX_SOURCELINES_H_

#include <cstdio>
#include <string>

// Hands a source stream to the LineReader one source line at a time. The
// stream it makes reports the end of input at the end of each source line
// (after its newline) until the next line is opened, so every statement the
// reader returns in between comes from the line just opened; the reader
// itself works exactly as on the plain stream. It also measures each line.
class SourceLines {
 public:
  // Reads `source`, which stays the caller's.
  explicit SourceLines(FILE* source);
  // Closes the stream made for the reader; `source` stays open.
  ~SourceLines();

  SourceLines(const SourceLines&) = delete;
  SourceLines& operator=(const SourceLines&) = delete;

  // The stream to build the LineReader on; null when it could not be made.
  FILE* stream() { return lines_; }
  // Makes the next source line readable; false at the end of the source or
  // on a read error.
  bool next();
  // 1-based number of the current line.
  long number() const { return number_; }
  // Bytes of the current line read so far, without its LF or CR LF.
  long long length() const { return length_ - (last_ == '\r' && newline_ ? 1 : 0); }
  // True when the current line held a NUL byte so far.
  bool hasNul() const { return nul_; }
  // Keeps the bytes of each line from now on, for text().
  void keepText() { keep_ = true; }
  // The bytes of the current line read so far, without its LF or CR LF,
  // when they are kept.
  std::string text() const { return text_.substr(0, static_cast<size_t>(length())); }
  // True when a read of the source failed and what came before it is used up
  // (the lines before the error are loaded), or the reader's stream failed.
  bool failed() const { return failed_ || (lines_ && ferror(lines_)); }
  // The system's error number of the failed read of the source; 0 when
  // unknown.
  int error() const { return error_; }

 private:
  static ssize_t read(void* cookie, char* buf, size_t size);
  // Refills the chunk from the source; false at its end or on an error.
  bool fill();

  FILE* source_;
  FILE* lines_ = nullptr;
  char chunk_[8192];
  size_t chunk_pos_ = 0;
  size_t chunk_len_ = 0;
  long number_ = 0;
  long long length_ = 0;  // bytes before the newline, CR included
  char last_ = '\0';      // the last byte before the newline
  bool ended_ = true;     // the current line's newline (or the source end) was read
  bool newline_ = false;  // the current line ended in a newline
  bool nul_ = false;
  bool failed_ = false;
  int error_ = 0;
  bool keep_ = false;
  std::string text_;  // the current line's bytes before its newline, when kept
};

#endif  // ORVIX_SOURCELINES_H_
