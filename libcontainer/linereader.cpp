#include "linereader.h"

#include <cassert>
#include <cctype>
#include <cstring>

#include "tokenizer.h"

int fwcmp(const char* s1, const char* s2, int n) { return strncmp(s1, s2, static_cast<size_t>(n)); }

int fwcmpi(const char* s1, const char* s2, int n) {
  // The C library has no case-insensitive compare on every system; this is
  // the one of the C locale: letters are compared by their lower-case form.
  for (int i = 0; i < n; i++) {
    const int c1 = tolower(static_cast<unsigned char>(s1[i]));
    const int c2 = tolower(static_cast<unsigned char>(s2[i]));
    if (c1 != c2 || c1 == '\0') return c1 - c2;
  }
  return 0;
}

namespace {

// A non-null flag for the boolean settings.
void* const kTrue = reinterpret_cast<void*>(1);

// Bytes asked of a caller's byte source at a time.
const int kBytesChunk = 4096;

}  // namespace

LineReader::LineReader(FILE* finput, int max_line_length)
    : StrCompare(fwcmp),
      fchars(),
      fpchar(nullptr),
      finp(finput),
      buf(nullptr),
      buf_size(max_line_length),
      lnct(0),
      trim(true),
      cmt_patterns(0),
      cmt_partials(0),
      cmt_exceptions(0),
      eol_patterns(0),
      bnl_patterns(0),
      bytes_read(nullptr),
      bytes_context(nullptr),
      bytes(nullptr),
      bytes_pos(0),
      bytes_len(0),
      input_place{1, 0},
      raw_place{1, 0},
      last_place{0, 0} {
  // REQUIRES: finput != nullptr && max_line_length >= 2
  assert(finput != nullptr && max_line_length >= 2);
  setup();
}

LineReader::LineReader(const String& cinput, int max_line_length)
    : StrCompare(fwcmp),
      fchars(cinput),
      fpchar(nullptr),
      finp(nullptr),
      buf(nullptr),
      buf_size(max_line_length),
      lnct(0),
      trim(true),
      cmt_patterns(0),
      cmt_partials(0),
      cmt_exceptions(0),
      eol_patterns(0),
      bnl_patterns(0),
      bytes_read(nullptr),
      bytes_context(nullptr),
      bytes(nullptr),
      bytes_pos(0),
      bytes_len(0),
      input_place{1, 0},
      raw_place{1, 0},
      last_place{0, 0} {
  // REQUIRES: max_line_length >= 2
  assert(max_line_length >= 2);
  fpchar = fchars.getBuffer();
  setup();
}

LineReader::LineReader(LineReaderBytes read, void* context, int max_line_length)
    : StrCompare(fwcmp),
      fchars(),
      fpchar(nullptr),
      finp(nullptr),
      buf(nullptr),
      buf_size(max_line_length),
      lnct(0),
      trim(true),
      cmt_patterns(0),
      cmt_partials(0),
      cmt_exceptions(0),
      eol_patterns(0),
      bnl_patterns(0),
      bytes_read(read),
      bytes_context(context),
      bytes(new char[kBytesChunk]),
      bytes_pos(0),
      bytes_len(0),
      input_place{1, 0},
      raw_place{1, 0},
      last_place{0, 0} {
  // REQUIRES: read != nullptr && max_line_length >= 2
  assert(read != nullptr && max_line_length >= 2);
  setup();
}

LineReader::~LineReader() {
  char* ln;
  while ((ln = file_lines.dequeue()) != nullptr) freeLine(ln);
  freeLine(buf);
  delete[] bytes;
}

void LineReader::setup() {
  file_lines.setAutoDelete(false);
  lnct = 0;
  buf = allocLine(buf_size);
  configure(LR_SET_TRIM_LINES, kTrue);
  configure(LR_SET_WHITESPACE, const_cast<char*>(" \t\r"));
  configure(LR_SET_CASE_SENSITIVE, kTrue);
}

void LineReader::configure(LineReaderSetting type, void* pat) {
  const char* text = static_cast<const char*>(pat);
  switch (type) {
    case LR_SET_TRIM_LINES:
      trim = pat != nullptr;
      break;
    case LR_SET_WHITESPACE:
      whitespace = text;
      break;
    case LR_SET_CASE_SENSITIVE:
      StrCompare = pat != nullptr ? fwcmp : fwcmpi;
      break;
    case LR_ADD_EOL_CONTINUE:
      eol_patterns.append(String(text));
      break;
    case LR_ADD_BNL_CONTINUE:
      bnl_patterns.append(String(text));
      break;
    case LR_ADD_COMMENT_START:
      cmt_patterns.append(String(text));
      break;
    case LR_ADD_COMMENT_EXCEPTION:
      cmt_exceptions.append(String(text));
      break;
    case LR_ADD_PARTIAL_COMMENT:
      cmt_partials.append(String(text));
      break;
    default:
      break;
  }
}

int LineReader::linesRead() { return lnct; }

long long LineReader::lineNumber() { return last_place.number; }

long long LineReader::lineOffset() { return last_place.offset; }

char* LineReader::allocLine(int size) {
  char* block = new char[sizeof(LinePlace) + 1 + size];
  char* ln = block + sizeof(LinePlace) + 1;
  setPlace(ln, LinePlace{0, 0});
  ln[-1] = '\0';  // the guard byte
  return ln;
}

void LineReader::freeLine(char* ln) {
  if (ln != nullptr) delete[](ln - 1 - sizeof(LinePlace));
}

LineReader::LinePlace LineReader::placeOf(const char* ln) {
  LinePlace place;
  memcpy(&place, ln - 1 - sizeof(LinePlace), sizeof place);
  return place;
}

void LineReader::setPlace(char* ln, const LinePlace& place) {
  memcpy(ln - 1 - sizeof(LinePlace), &place, sizeof place);
}

int LineReader::readRawBytes() {
  int n = 0;
  while (n < buf_size - 1 && bytes_len >= 0) {
    if (bytes_pos == bytes_len) {
      bytes_pos = 0;
      bytes_len = static_cast<int>(bytes_read(bytes_context, bytes, kBytesChunk));
      // The end is remembered: the source is not asked again.
      if (bytes_len == 0) bytes_len = -1;
      continue;
    }
    const char* from = bytes + bytes_pos;
    int take = bytes_len - bytes_pos < buf_size - 1 - n ? bytes_len - bytes_pos : buf_size - 1 - n;
    const char* newline = static_cast<const char*>(memchr(from, '\n', static_cast<size_t>(take)));
    if (newline != nullptr) take = static_cast<int>(newline - from) + 1;
    memcpy(buf + n, from, static_cast<size_t>(take));
    n += take;
    bytes_pos += take;
    if (newline != nullptr) break;
  }
  buf[n] = '\0';
  return n;
}

bool LineReader::readRawLine() {
  int length = 0;
  if (bytes_read != nullptr) {
    length = readRawBytes();
    if (length == 0) return false;
  } else if (finp != nullptr) {
    // The terminator fgets writes is then the last NUL byte of the buffer,
    // whatever NUL bytes the line itself holds.
    memset(buf, '\n', static_cast<size_t>(buf_size));
    if (fgets(buf, buf_size, finp) == nullptr) return false;
    length = buf_size - 1;
    while (buf[length] != '\0') length--;
  } else {
    if (*fpchar == '\0') return false;
    while (*fpchar != '\0' && *fpchar != '\n' && length < buf_size - 2) {
      buf[length++] = *fpchar++;
    }
    // The newline ends the raw line and belongs to it; at the length limit
    // one more character fits.
    if (*fpchar != '\0') buf[length++] = *fpchar++;
    buf[length] = '\0';
  }
  lnct++;
  raw_place = input_place;
  if (buf[length - 1] == '\n') {
    input_place.number++;
    input_place.offset = 0;
  } else {
    input_place.offset += length;
  }
  return true;
}

void LineReader::readOneTrimmedFileLine() {
  while (readRawLine()) {
    const size_t len = strlen(buf);
    if (len == 0) continue;
    char* start = buf;
    char* end = buf + len - 1;
    if (trim) {
      ffWsp(start);
      // Past the newline the end may rest on the guard byte: an empty line.
      if (*end == '\n') end--;
      rwWsp(end);
      end[1] = '\0';
      if (end < start) continue;
    }
    if (cutComment(start)) continue;

    const size_t kept = strlen(start);
    char* line = allocLine(static_cast<int>(kept) + 1);
    memcpy(line, start, kept + 1);
    setPlace(line, LinePlace{raw_place.number, raw_place.offset + (start - buf)});
    file_lines.enqueue(line);
    return;
  }
}

bool LineReader::cutComment(char* start) {
  // Each pattern is looked for once, at the line start or (for a partial
  // comment) at its first occurrence; the first that starts a comment decides.
  for (int i = 0; i < cmt_patterns.length(); i++) {
    const String& pattern = cmt_patterns[i];
    const bool partial = cmt_partials.find(pattern) >= 0;
    char* cmt_start = nullptr;
    if (StrCompare(start, pattern.cStr(), pattern.length()) == 0) {
      cmt_start = start;
    } else if (partial) {
      cmt_start = strstr(start, pattern.cStr());
    }
    if (cmt_start == nullptr || isCommentException(cmt_start)) continue;
    if (!partial || cmt_start == start) return true;

    // Keep an end-of-line continuation that begins the comment; whitespace
    // before the comment stays.
    char* after = matchFirstForward(cmt_start, eol_patterns);
    *(after != nullptr ? after : cmt_start) = '\0';
    return false;
  }
  return false;
}

bool LineReader::isCommentException(const char* cmt_start) {
  for (int i = 0; i < cmt_exceptions.length(); i++) {
    const String& exception = cmt_exceptions[i];
    if (StrCompare(cmt_start, exception.cStr(), exception.length()) == 0) return true;
  }
  return false;
}

bool LineReader::isWhitespace(char ch) const {
  // A plain scan of the short set; called for every byte trimmed.
  if (ch == '\0') return false;
  for (const char* w = whitespace.cStr(); *w != '\0'; w++) {
    if (*w == ch) return true;
  }
  return false;
}

void LineReader::ffWsp(char*& lptr) {
  while (isWhitespace(*lptr)) lptr++;
}

void LineReader::rwWsp(char*& rptr) {
  // The byte before the first one of a line is the zero guard byte.
  while (isWhitespace(*rptr) && rptr[-1] != '\0') rptr--;
}

char* LineReader::matchPatternForward(char* s, const String& pattern) {
  Tokenizer tokens(pattern, "|");
  while (tokens.hasTokens()) {
    const String token = tokens.next();
    if (*s == '\0') return nullptr;
    if (StrCompare(s, token.cStr(), token.length()) != 0) return nullptr;
    s += token.length();
    if (tokens.hasTokens()) ffWsp(s);
  }
  return s;
}

char* LineReader::matchPatternReverse(char* s, const String& pattern) {
  StringArray sections(0);
  Tokenizer tokens(pattern, "|");
  while (tokens.hasTokens()) sections.append(tokens.next());

  for (int i = sections.length() - 1; i >= 0; i--) {
    const String& token = sections[i];
    const int n = token.length();
    // The n bytes ending at s must lie within the line: none of them may be
    // the guard byte before its start. The scan stops at the guard.
    for (int k = 0; k < n; k++) {
      if (s[-k] == '\0') return nullptr;
    }
    if (StrCompare(token.cStr(), s - n + 1, n) != 0) return nullptr;
    s -= n;
    if (i > 0) rwWsp(s);
  }
  return s;
}

char* LineReader::matchFirstForward(char* s, StringArray& patterns) {
  for (int i = 0; i < patterns.length(); i++) {
    char* after = matchPatternForward(s, patterns[i]);
    if (after != nullptr) return after;
  }
  return nullptr;
}

char* LineReader::matchFirstReverse(char* s, StringArray& patterns) {
  for (int i = 0; i < patterns.length(); i++) {
    char* before = matchPatternReverse(s, patterns[i]);
    if (before != nullptr) return before;
  }
  return nullptr;
}

void LineReader::appendAndFree(String& line, char* ln) {
  // The first piece is assigned, which reuses the caller's buffer instead of
  // building a temporary String.
  if (line.length() == 0) {
    line = ln;
  } else {
    line += String(ln);
  }
  freeLine(ln);
}

bool LineReader::getLine(String& line) {
  line = "";
  readOneTrimmedFileLine();
  if (file_lines.peek() == nullptr) return false;
  // The front line is the first part of the line handed back.
  last_place = placeOf(file_lines.peek());

  for (;;) {
    readOneTrimmedFileLine();
    char* cur_ln = file_lines.dequeue();
    if (cur_ln == nullptr) return true;

    // An empty line (left by a removed begin-of-next-line pattern) has its
    // last character on the guard byte.
    char* before = matchFirstReverse(cur_ln + strlen(cur_ln) - 1, eol_patterns);
    if (before != nullptr) {
      before[1] = '\0';
      appendAndFree(line, cur_ln);
      line += ' ';
      continue;
    }

    readOneTrimmedFileLine();
    // The next line stays at the front of the queue; a begin-of-next-line
    // pattern is removed from it in place.
    char* next_ln = file_lines.peek();
    char* after = next_ln != nullptr ? matchFirstForward(next_ln, bnl_patterns) : nullptr;
    if (after != nullptr) memmove(next_ln, after, strlen(after) + 1);
    appendAndFree(line, cur_ln);
    if (after == nullptr) return true;
    line += ' ';
  }
}
