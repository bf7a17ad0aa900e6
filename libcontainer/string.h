#ifndef LIBCONTAINER_STRING_H_
#define LIBCONTAINER_STRING_H_

/// String is the library's owned, growable, NUL-terminated byte string, the
/// text type of the whole system: labels, tokens, source lines, patterns and
/// keys are all String values.
///
/// A character is one byte; lengths and indexes count bytes before the
/// terminator. The object owns its buffer (`c_str`, capacity `c_capacity`
/// bytes, terminator included) and releases it on destruction. The buffer
/// never shrinks: shortening the text keeps the capacity, so a reused String
/// rarely reallocates. Appending one byte at a time doubles the capacity;
/// longer appends and assignments reallocate to the exact size needed.
///
/// Intentionally copyable: copying copies the text into an exact-fit buffer.
/// Single-threaded: `printf` formats through one buffer shared by all strings.

class String {
 public:
  // The empty string: length 0, capacity 1.
  String();
  // A copy of `s`, capacity strlen(s) + 1; a null `s` gives the empty string.
  String(const char* s);
  // A copy of `str` with an exact-fit buffer, whatever the capacity of `str`.
  String(const String& str);
  ~String();

  // Copies `s`, reusing the buffer when it is large enough.
  String& operator=(const String& s);
  // Copies the NUL-terminated `s`; a null `s` empties the string, buffer kept.
  String& operator=(const char* s);
  // Makes this the one-character string `ch`.
  String& operator=(char ch);

  // The text, NUL-terminated; valid until the next change of this string.
  const char* cStr() const;
  // Number of bytes before the terminator; -1 while a grown write buffer is out.
  int length() const;

  // REQUIRES: 0 <= i < length()
  char operator[](int i) const;
  // REQUIRES: 0 <= i < length()
  char& operator[](int i);

  // Appends `s`; `s` may be this string itself (`s += s` doubles the text).
  String& operator+=(const String& s);
  // Appends one byte; the buffer grows geometrically.
  String& operator+=(char ch);

  // Replaces the text by printf-style output, cut to its first 2047 bytes.
  // Always returns true. Not re-entrant: all strings share one buffer.
  bool printf(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

  // Index of the first occurrence of `s`, or -1. The empty `s` is found at 0.
  int find(const String& s) const;
  // Index of the first byte equal to `ch`, or -1 (the terminator is never found).
  int find(char ch) const;

  // The bytes from `pos` on, at most `len` of them (all when `len` < 0).
  // A negative `pos` counts as 0; a `pos` at or past the end gives "".
  String subStr(int pos, int len) const;
  // subStr(0, nchars): a negative `nchars` gives the whole string.
  String left(int nchars);
  // The last `nchars` bytes; the whole string when `nchars` > length(),
  // "" when `nchars` <= 0.
  String right(int nchars);
  // Shortens the text to `len` bytes when 0 <= len < length(); else nothing.
  void truncate(int len);

  // Lower-cases every byte in place (standard tolower, default locale).
  void toLower();
  // Upper-cases every byte in place (standard toupper, default locale).
  void toUpper();

  // Conversions by strtod/strtol. *success (when not null) is false exactly
  // when nothing was consumed; trailing bytes are ignored ("12abc" is 12).
  // Integers saturate to the signed 32-bit range [-2147483648, 2147483647].
  double toDouble(bool* success = nullptr) const;
  long toLong(bool* success = nullptr, int base = 10) const;
  // toLong(success, 10).
  int toInt(bool* success = nullptr) const;
  // toLong(success, base) with its 32 bits read as unsigned: "-1" is 4294967295.
  unsigned int toUnsignedInt(bool* success = nullptr, int base = 10) const;

  // The buffer itself, for reading or in-place writing; call ungetBuffer()
  // after changing its length.
  char* getBuffer() const;
  // A buffer of at least `buf_size` bytes for the caller to fill with a
  // NUL-terminated text. When `buf_size` exceeds the capacity the old text is
  // lost, the capacity becomes buf_size + 1 and length() is -1 until
  // ungetBuffer(); otherwise nothing changes.
  char* getWriteBuffer(int buf_size);
  // Recomputes the length after the caller wrote into the buffer.
  void ungetBuffer();

 private:
  // Releases the buffer and allocates `capacity` fresh bytes (text lost).
  void reallocate(int capacity);
  // Grows the buffer, text kept, so that `new_len` bytes fit.
  void reserveForAppend(int new_len, bool doubling);

  char* c_str;
  int c_len;
  int c_capacity;
};

// Byte-wise comparisons up to the first NUL, in strcmp order.
bool operator==(const String& lhs, const String& rhs);
bool operator!=(const String& lhs, const String& rhs);
bool operator<(const String& lhs, const String& rhs);
bool operator>(const String& lhs, const String& rhs);
bool operator<=(const String& lhs, const String& rhs);
bool operator>=(const String& lhs, const String& rhs);

// Concatenations.
String operator+(const String& lhs, const String& rhs);
String operator+(char ch, const String& str);
String operator+(const String& str, char ch);

#endif  // LIBCONTAINER_STRING_H_
