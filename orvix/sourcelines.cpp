#include "orvix/sourcelines.h"

#include <cerrno>
#include <cstring>

#include "orvix/platform.h"

SourceLines::SourceLines(FILE* source) : source_(source), lines_(scratchfile()) {}

SourceLines::~SourceLines() {
  if (lines_ != nullptr) fclose(lines_);
}

bool SourceLines::fill() {
  chunk_pos_ = 0;
  chunk_len_ = 0;
  // Nothing is read after a read error, even one that a retry would get
  // past: the bytes that came before it are used up, then the source fails.
  if (ferror(source_)) {
    failed_ = true;
    return false;
  }
  chunk_len_ = fread(chunk_, 1, sizeof chunk_, source_);
  if (ferror(source_)) error_ = errno;
  if (chunk_len_ == 0 && ferror(source_)) failed_ = true;
  return chunk_len_ > 0;
}

bool SourceLines::copyline() {
  while (chunk_pos_ < chunk_len_ || fill()) {
    const char* from = chunk_ + chunk_pos_;
    size_t n = chunk_len_ - chunk_pos_;
    const char* newline = static_cast<const char*>(memchr(from, '\n', n));
    if (newline != nullptr) n = static_cast<size_t>(newline - from) + 1;
    const size_t text = newline != nullptr ? n - 1 : n;
    if (text > 0) {
      length_ += static_cast<long long>(text);
      last_ = from[text - 1];
      if (memchr(from, '\0', text) != nullptr) nul_ = true;
      if (keep_) text_.append(from, text);
    }
    if (fwrite(from, 1, n, lines_) != n) return false;
    chunk_pos_ += n;
    if (newline != nullptr) {
      newline_ = true;
      return true;
    }
  }
  return !failed_;
}

bool SourceLines::next() {
  if (lines_ == nullptr || failed()) return false;
  if (chunk_pos_ == chunk_len_ && !fill()) return false;
  number_++;
  length_ = 0;
  last_ = '\0';
  newline_ = false;
  nul_ = false;
  text_.clear();
  // The reader stopped at the end of the previous line, which was the end of
  // the file: the file now holds this line alone, and is read from its start.
  clearerr(lines_);
  if (!emptyfile(lines_) || !copyline() || fflush(lines_) != 0) {
    failed_ = true;
    return false;
  }
  rewind(lines_);
  return true;
}
