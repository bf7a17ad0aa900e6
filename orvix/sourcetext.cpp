#include "orvix/sourcetext.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

SourceText::SourceText(FILE* fp) : fp_(fp) { current_.number = 1; }

SourceText::SourceText(const char* text, size_t size) : text_(text), size_(size) {
  current_.number = 1;
}

size_t SourceText::read(void* self, char* buf, size_t size) {
  SourceText& s = *static_cast<SourceText*>(self);
  if (s.ended_) return 0;
  size_t n = 0;
  if (!s.fetch(buf, size, n)) {
    // Nothing is read after a read error, even one a retry would get past:
    // the line it broke off is no line.
    s.failed_ = true;
    s.ended_ = true;
  }
  if (!s.started_ && !s.failed_) {
    s.started_ = true;
    const unsigned char* b = reinterpret_cast<const unsigned char*>(buf);
    if (n >= 2 && ((b[0] == 0xff && b[1] == 0xfe) || (b[0] == 0xfe && b[1] == 0xff))) {
      // UTF-16 would be read as NUL bytes and noise: it is not read at all.
      s.utf16_ = true;
      s.failed_ = true;
      s.ended_ = true;
      return 0;
    }
    if (n >= 3 && b[0] == 0xef && b[1] == 0xbb && b[2] == 0xbf) {
      // The byte order mark of UTF-8 is no part of the text.
      n -= 3;
      memmove(buf, buf + 3, n);
    }
  }
  const char* ctrlz =
      s.ctrlz_ && !s.failed_ ? static_cast<const char*>(memchr(buf, '\x1a', n)) : nullptr;
  if (ctrlz != nullptr) {
    // The source ends here. The bytes from the Ctrl-Z on are not handed
    // over, so `buf` can take what follows.
    const size_t kept = static_cast<size_t>(ctrlz - buf);
    s.take(buf, kept);
    s.current_.ctrlz = s.textfollows(ctrlz + 1, n - kept - 1, buf + kept, size - kept);
    s.ended_ = true;
    if (s.current_bytes_ > 0 || s.current_.ctrlz) s.endline(false);
    return kept;
  }
  s.take(buf, n);
  if (n == 0 && !s.failed_) {
    s.ended_ = true;
    if (s.current_bytes_ > 0) s.endline(false);
  }
  return n;
}

bool SourceText::fetch(char* buf, size_t size, size_t& n) {
  if (fp_ == nullptr) {
    n = std::min(size, size_ - pos_);
    memcpy(buf, text_ + pos_, n);
    pos_ += n;
    return true;
  }
  errno = 0;
  n = fread(buf, 1, size, fp_);
  if (!ferror(fp_)) return true;
  error_ = errno;
  return false;
}

bool SourceText::textfollows(const char* rest, size_t n, char* scratch, size_t size) {
  for (;;) {
    for (size_t i = 0; i < n; i++) {
      if (rest[i] != '\r' && rest[i] != '\n') return true;
    }
    // What a read error hides is not the source's: it ended at the Ctrl-Z.
    if (!fetch(scratch, size, n) || n == 0) return false;
    rest = scratch;
  }
}

void SourceText::take(const char* bytes, size_t n) {
  while (n > 0) {
    const char* newline = static_cast<const char*>(memchr(bytes, '\n', n));
    const size_t part = newline != nullptr ? static_cast<size_t>(newline - bytes) : n;
    if (part > 0) {
      current_bytes_ += static_cast<long long>(part);
      last_ = bytes[part - 1];
      if (memchr(bytes, '\0', part) != nullptr) current_.nul = true;
      if (keep_) current_.text.append(bytes, part);
    }
    if (newline == nullptr) return;
    endline(true);
    bytes += part + 1;
    n -= part + 1;
  }
}

void SourceText::endline(bool newline) {
  current_.length = current_bytes_;
  if (newline && last_ == '\r') {
    // The CR of a CR LF line end is no part of the line.
    current_.length--;
    if (!current_.text.empty()) current_.text.pop_back();
  }
  if (keep_ || current_.nul || current_.ctrlz || (longest_ >= 0 && current_.length > longest_)) {
    lines_.push_back(current_);
  }
  const long long next = current_.number + 1;
  current_ = Line();
  current_.number = next;
  current_bytes_ = 0;
  last_ = '\0';
}
