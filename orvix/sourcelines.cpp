#include "orvix/sourcelines.h"

#include <cerrno>
#include <cstring>

SourceLines::SourceLines(FILE* source) : source_(source) {
  cookie_io_functions_t io = {};
  io.read = read;
  lines_ = fopencookie(this, "r", io);
}

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

bool SourceLines::next() {
  if (failed()) return false;
  if (chunk_pos_ == chunk_len_ && !fill()) return false;
  number_++;
  length_ = 0;
  last_ = '\0';
  ended_ = false;
  newline_ = false;
  nul_ = false;
  text_.clear();
  // The reader saw the end of input at the previous line's end.
  clearerr(lines_);
  return true;
}

ssize_t SourceLines::read(void* cookie, char* buf, size_t size) {
  SourceLines* self = static_cast<SourceLines*>(cookie);
  if (self->ended_) return 0;
  if (self->chunk_pos_ == self->chunk_len_ && !self->fill()) {
    self->ended_ = true;
    return self->failed_ ? -1 : 0;
  }
  size_t n = self->chunk_len_ - self->chunk_pos_;
  if (n > size) n = size;
  const char* from = self->chunk_ + self->chunk_pos_;
  const char* newline = static_cast<const char*>(memchr(from, '\n', n));
  if (newline != nullptr) n = static_cast<size_t>(newline - from) + 1;
  size_t text = newline != nullptr ? n - 1 : n;
  if (text > 0) {
    self->length_ += static_cast<long long>(text);
    self->last_ = from[text - 1];
    if (memchr(from, '\0', text) != nullptr) self->nul_ = true;
    if (self->keep_) self->text_.append(from, text);
  }
  if (newline != nullptr) self->ended_ = self->newline_ = true;
  memcpy(buf, from, n);
  self->chunk_pos_ += n;
  return static_cast<ssize_t>(n);
}
