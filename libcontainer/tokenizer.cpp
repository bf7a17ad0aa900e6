#include "tokenizer.h"

Tokenizer::Tokenizer()
    : str(""), delims(" "), last_pos(0), pos(0), head(nullptr), tail(nullptr), cur(nullptr) {}

Tokenizer::Tokenizer(const String& s)
    : str(s), delims(" "), last_pos(0), pos(0), head(nullptr), tail(nullptr), cur(nullptr) {}

Tokenizer::Tokenizer(const String& s, const String& dlms)
    : str(s), delims(dlms), last_pos(0), pos(0), head(nullptr), tail(nullptr), cur(nullptr) {}

Tokenizer::~Tokenizer() { clearQueue(); }

bool Tokenizer::isDelimiter(char ch) const { return delims.find(ch) >= 0; }

void Tokenizer::skipDelimiters() {
  const int n = str.length();
  while (pos < n && isDelimiter(str[pos])) pos++;
}

String Tokenizer::next() {
  const int n = str.length();
  skipDelimiters();
  const int start = pos;
  while (pos < n && !isDelimiter(str[pos])) pos++;
  last_pos = pos;
  String token = str.subStr(start, pos - start);
  // Leave pos on the first character of the following token, or at the end,
  // so that hasTokens() turns false right after the last token.
  skipDelimiters();
  return token;
}

bool Tokenizer::hasTokens() { return pos < str.length(); }

void Tokenizer::pump() {
  if (!hasTokens()) return;
  Token* node = new Token;
  node->str = next();
  node->next = nullptr;
  node->prev = tail;
  if (tail == nullptr) {
    head = node;
  } else {
    tail->next = node;
  }
  tail = node;
}

bool Tokenizer::isEmpty() {
  if (head == nullptr) {
    pump();
    cur = head;
  }
  return cur == nullptr;
}

bool Tokenizer::get(String& tok) {
  if (isEmpty()) return false;
  // Read one token ahead so that a following get finds its node queued.
  if (cur->next == nullptr) pump();
  tok = cur->str;
  cur = cur->next;
  return true;
}

bool Tokenizer::unget() {
  if (cur == nullptr) {
    // Past the last queued token: step back onto the tail, if any.
    if (tail == nullptr) return false;
    cur = tail;
    return true;
  }
  if (cur->prev == nullptr) return false;
  cur = cur->prev;
  return true;
}

void Tokenizer::clearQueue() {
  Token* node = head;
  while (node != nullptr) {
    Token* following = node->next;
    delete node;
    node = following;
  }
  head = nullptr;
  tail = nullptr;
  cur = nullptr;
}

int Tokenizer::getLastTokenEndPos() { return last_pos; }

int Tokenizer::getCurrentPos() { return pos; }

String Tokenizer::getRestOfInput() { return str.subStr(pos, -1); }

void Tokenizer::reset(const String& s) {
  clearQueue();
  last_pos = 0;
  pos = 0;
  str = s;
}

void Tokenizer::setDelimiters(const String& dlms) { delims = dlms; }

String Tokenizer::getDelimiters() { return delims; }
