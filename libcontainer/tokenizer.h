#ifndef LIBCONTAINER_TOKENIZER_H_
#define LIBCONTAINER_TOKENIZER_H_

/// Tokenizer cuts one input string into tokens separated by runs of delimiter
/// characters. A run of delimiters, of any mix, separates two tokens like a
/// single one; delimiters at either end are ignored and never returned.
///
/// Two ways of reading share one read position: `next` cuts and returns the
/// next token directly; the queue view (`get`, `unget`, `isEmpty`) keeps every
/// token it cut in a doubly linked list so the caller can step back. A token
/// taken with `next` never enters the queue. The queue view reads one token
/// ahead: after `get` returned token k, the positions already reflect the
/// cutting of token k + 1.
///
/// Ownership: the tokenizer owns its copy of the input and every queue node;
/// nodes are freed by `clearQueue`, `reset` and the destructor.
///
/// Single-threaded. Not copyable.

#include "string.h"

class Tokenizer {
 public:
  // Input "", delimiters " ", positions 0, empty queue.
  Tokenizer();
  // Input `s`, delimiters " ", positions 0, empty queue.
  Tokenizer(const String& s);
  // Input `s`, delimiters `dlms` (every character is a delimiter).
  Tokenizer(const String& s, const String& dlms);
  // Frees every queued node.
  ~Tokenizer();

  Tokenizer(const Tokenizer&) = delete;
  Tokenizer& operator=(const Tokenizer&) = delete;

  // Cuts and returns the next token; "" when no token is left.
  String next();
  // True while the read position is before the end of the input.
  bool hasTokens();

  // True when the queue view has no token at its cursor (may cut one token).
  bool isEmpty();
  // Copies the token at the cursor into `tok` and advances the cursor;
  // false, `tok` untouched, when there is none.
  bool get(String& tok);
  // Steps the cursor back by one token; false, nothing changed, when it cannot.
  bool unget();
  // Frees every queued node; the read position stays.
  void clearQueue();

  // Index just past the last character of the token most recently cut.
  int getLastTokenEndPos();
  // Index of the next input character to examine.
  int getCurrentPos();
  // The input from the read position to its end.
  String getRestOfInput();

  // Clears the queue, rewinds both positions and takes `s` as the new input;
  // the delimiters stay.
  void reset(const String& s);
  // Replaces the delimiter set for later cuts; queued tokens keep their cut.
  void setDelimiters(const String& dlms);
  // A copy of the delimiter set.
  String getDelimiters();

 private:
  // One node of the token queue.
  struct Token {
    Token* next;
    Token* prev;
    String str;
  };

  // Appends one freshly cut token to the queue while the input has tokens.
  void pump();
  // True when `ch` is one of the delimiters.
  bool isDelimiter(char ch) const;
  // Advances `pos` over a run of delimiters.
  void skipDelimiters();

  String str;
  String delims;
  int last_pos;
  int pos;
  Token* head;
  Token* tail;
  Token* cur;
};

#endif  // LIBCONTAINER_TOKENIZER_H_
