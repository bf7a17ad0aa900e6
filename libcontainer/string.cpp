#include "string.h"

#include <cassert>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The integers of this library are 32-bit; where the platform's long is
// wider, conversions saturate to the 32-bit range as a 32-bit strtol would.
const long kLongMax = 2147483647L;
const long kLongMin = -kLongMax - 1;

// One formatting buffer shared by every String::printf call.
char printf_buffer[2048];

}  // namespace

String::String() : c_str(new char[1]), c_len(0), c_capacity(1) { c_str[0] = '\0'; }

String::String(const char* s) {
  c_len = s ? static_cast<int>(strlen(s)) : 0;
  c_capacity = c_len + 1;
  c_str = new char[c_capacity];
  if (s) {
    memcpy(c_str, s, c_len + 1);
  } else {
    c_str[0] = '\0';
  }
}

String::String(const String& str)
    : c_str(new char[str.c_len + 1]), c_len(str.c_len), c_capacity(str.c_len + 1) {
  memcpy(c_str, str.c_str, c_len + 1);
}

String::~String() { delete[] c_str; }

void String::reallocate(int capacity) {
  delete[] c_str;
  c_str = nullptr;  // Never left dangling should the allocation throw.
  c_str = new char[capacity];
  c_capacity = capacity;
}

String& String::operator=(const String& s) {
  if (&s == this) return *this;
  if (c_capacity < s.c_len + 1) reallocate(s.c_len + 1);
  c_len = s.c_len;
  memcpy(c_str, s.c_str, c_len + 1);
  return *this;
}

String& String::operator=(const char* s) {
  if (!s) {
    c_str[0] = '\0';
    c_len = 0;
    return *this;
  }
  int len = static_cast<int>(strlen(s));
  if (c_capacity < len + 1) {
    // `s` may point into our own buffer only when it fits, so releasing the
    // buffer here never loses the text being assigned.
    reallocate(len + 1);
  }
  memmove(c_str, s, len + 1);
  c_len = len;
  return *this;
}

String& String::operator=(char ch) {
  if (c_capacity <= 1) reallocate(2);
  c_len = 1;
  c_str[0] = ch;
  c_str[1] = '\0';
  return *this;
}

const char* String::cStr() const { return c_str; }

int String::length() const { return c_len; }

char String::operator[](int i) const {
  assert(i >= 0 && i < c_len);
  return c_str[i];
}

char& String::operator[](int i) {
  assert(i >= 0 && i < c_len);
  return c_str[i];
}

// Makes room for a text of `new_len` bytes, keeping the current text: the
// buffer grows to new_len + 1 bytes, twice that when `doubling` (the rule for
// one-byte appends, so a string built byte by byte grows geometrically).
void String::reserveForAppend(int new_len, bool doubling) {
  if (new_len < c_capacity) return;
  int capacity = new_len + 1;
  if (doubling) capacity *= 2;
  char* grown = new char[capacity];
  memcpy(grown, c_str, c_len + 1);
  delete[] c_str;
  c_str = grown;
  c_capacity = capacity;
}

String& String::operator+=(const String& s) {
  if (&s == this) {
    String copy(s);  // Growing would release the text being appended.
    return *this += copy;
  }
  int new_len = c_len + s.c_len;
  reserveForAppend(new_len, s.c_len == 1);
  memcpy(c_str + c_len, s.c_str, s.c_len + 1);
  c_len = new_len;
  return *this;
}

String& String::operator+=(char ch) {
  // The same result as appending the one-byte String `ch`, without building it.
  reserveForAppend(c_len + 1, true);
  c_str[c_len++] = ch;
  c_str[c_len] = '\0';
  return *this;
}

bool String::printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsnprintf(printf_buffer, sizeof printf_buffer, format, args);
  va_end(args);
  *this = static_cast<const char*>(printf_buffer);
  return true;
}

int String::find(const String& s) const {
  for (int i = 0; i <= c_len - s.c_len; i++) {
    if (strncmp(c_str + i, s.c_str, s.c_len) == 0) return i;
  }
  return -1;
}

int String::find(char ch) const {
  for (int i = 0; i < c_len; i++) {
    if (c_str[i] == ch) return i;
  }
  return -1;
}

String String::subStr(int pos, int len) const {
  if (pos < 0) pos = 0;
  if (pos >= c_len) return String();
  // Bytes from pos to the end, or `len` of them when fewer; compared, not
  // added, so that no length near the int range overflows.
  int n = (len < 0 || len > c_len - pos) ? c_len - pos : len;
  String result;
  if (n == 0) return result;
  result.reallocate(n + 1);
  memcpy(result.c_str, c_str + pos, n);
  result.c_str[n] = '\0';
  result.c_len = n;
  return result;
}

String String::left(int nchars) { return subStr(0, nchars); }

String String::right(int nchars) {
  if (nchars > c_len) return *this;
  if (nchars <= 0) return String();  // Also keeps c_len - nchars in range.
  return subStr(c_len - nchars, nchars);
}

void String::truncate(int len) {
  if (len >= 0 && len < c_len) {
    c_str[len] = '\0';
    c_len = len;
  }
}

void String::toLower() {
  for (char* p = c_str; *p; p++) *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
}

void String::toUpper() {
  for (char* p = c_str; *p; p++) *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
}

double String::toDouble(bool* success) const {
  char* end = nullptr;
  double value = strtod(c_str, &end);
  if (success) *success = !(value == 0 && end == c_str);
  return value;
}

long String::toLong(bool* success, int base) const {
  char* end = nullptr;
  long value = strtol(c_str, &end, base);
  if (value > kLongMax) value = kLongMax;
  if (value < kLongMin) value = kLongMin;
  if (success) *success = !(value == 0 && end == c_str);
  return value;
}

int String::toInt(bool* success) const { return static_cast<int>(toLong(success, 10)); }

unsigned int String::toUnsignedInt(bool* success, int base) const {
  return static_cast<unsigned int>(static_cast<int>(toLong(success, base)));
}

char* String::getBuffer() const { return c_str; }

char* String::getWriteBuffer(int buf_size) {
  if (buf_size > c_capacity) {
    reallocate(buf_size + 1);
    c_str[0] = '\0';
    c_len = -1;
  }
  return c_str;
}

void String::ungetBuffer() { c_len = static_cast<int>(strlen(c_str)); }

bool operator==(const String& lhs, const String& rhs) {
  return strcmp(lhs.cStr(), rhs.cStr()) == 0;
}

bool operator!=(const String& lhs, const String& rhs) { return !(lhs == rhs); }

bool operator<(const String& lhs, const String& rhs) { return strcmp(lhs.cStr(), rhs.cStr()) < 0; }

bool operator>(const String& lhs, const String& rhs) { return rhs < lhs; }

bool operator<=(const String& lhs, const String& rhs) { return !(rhs < lhs); }

bool operator>=(const String& lhs, const String& rhs) { return !(lhs < rhs); }

String operator+(const String& lhs, const String& rhs) {
  String result(lhs);
  result += rhs;
  return result;
}

String operator+(char ch, const String& str) {
  String result;
  result = ch;
  result += str;
  return result;
}

String operator+(const String& str, char ch) {
  String result(str);
  result += ch;
  return result;
}
