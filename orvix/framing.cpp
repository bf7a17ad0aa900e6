#include "orvix/framing.h"

#include <cctype>
#include <cstring>

namespace {

// True when `a` and `b` are the same but for the letter case of ASCII
// letters: header names are compared so.
bool samename(const std::string& a, const char* b) {
  if (a.size() != strlen(b)) return false;
  for (size_t i = 0; i < a.size(); i++) {
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The text of `s` without its leading and trailing blanks and tabs.
std::string trimmed(const std::string& s) {
  const size_t begin = s.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  return s.substr(begin, s.find_last_not_of(" \t") - begin + 1);
}

}  // namespace

bool FrameReader::readline(std::string& line, bool& too_long) {
  line.clear();
  too_long = false;
  int c;
  while ((c = getc(in_)) != EOF && c != '\n') {
    if (static_cast<long long>(line.size()) < kMaxHeaderLineBytes) {
      line += static_cast<char>(c);
    } else {
      too_long = true;
    }
  }
  if (c == EOF) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

FrameStatus FrameReader::next(std::string& body, std::string& error) {
  body.clear();
  error.clear();
  long long length = -1;
  std::string line;
  bool too_long = false;
  bool any = false;  // a header line was read
  while (true) {
    if (!readline(line, too_long)) return FRAME_END;
    if (line.empty() && !too_long) {
      // A blank line before any header separates nothing: read on.
      if (any) break;
      continue;
    }
    any = true;
    if (!error.empty()) continue;
    if (too_long) {
      error = "header line longer than " + std::to_string(kMaxHeaderLineBytes) + " bytes";
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) {
      error = "header line without a name and a colon: '" + line + "'";
      continue;
    }
    const std::string value = trimmed(line.substr(colon + 1));
    if (!samename(line.substr(0, colon), "Content-Length")) continue;
    // At most 18 digits, so that the number fits; a larger one is too
    // large anyway.
    length = value.empty() || value.size() > 18 ? -1 : 0;
    for (size_t i = 0; i < value.size() && length >= 0; i++) {
      const char c = value[i];
      length = isdigit(static_cast<unsigned char>(c)) ? length * 10 + (c - '0') : -1;
    }
    if (length < 0) error = "Content-Length is not a number: '" + value + "'";
  }
  if (error.empty() && length < 0) error = "no Content-Length header";
  if (error.empty() && length > kMaxMessageBytes) {
    // The body is read and dropped, so that the next message is found.
    error = "message of " + std::to_string(length) + " bytes, more than the " +
            std::to_string(kMaxMessageBytes) + " taken";
    char buf[65536];
    for (long long left = length; left > 0;) {
      const size_t n = fread(buf, 1, left < 65536 ? static_cast<size_t>(left) : sizeof buf, in_);
      if (n == 0) return FRAME_END;
      left -= static_cast<long long>(n);
    }
  }
  if (!error.empty()) return FRAME_MALFORMED;
  body.resize(static_cast<size_t>(length));
  if (length > 0 && fread(&body[0], 1, body.size(), in_) != body.size()) return FRAME_END;
  return FRAME_MESSAGE;
}

std::string frame(const std::string& body) {
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}
