#include "orvix/statement.h"

#include <initializer_list>

#include "orvix/instructionset.h"

namespace {

// The span of the token `tok` just cut, in a line that begins at `offset`.
Span spanof(Tokenizer& tok, const String& token, long long offset) {
  Span span;
  if (token.length() == 0) return span;
  span.end = offset + tok.getLastTokenEndPos();
  span.begin = span.end - token.length();
  return span;
}

}  // namespace

void parsestatement(const String& line, long long offset, instruction& cmd, StatementText& text) {
  cmd.label = "";
  cmd.op = "";
  cmd.data = -1;
  cmd.jmptarget = "";
  text = StatementText();

  Tokenizer tok(line, ", \t");
  String token = tok.next();
  text.whole = spanof(tok, token, offset);
  int len = token.length();
  if (len > 0 && token[len - 1] == ':') {
    cmd.label = token.subStr(0, len - 1);
    text.label = spanof(tok, token, offset);
    text.label.end--;
    cmd.op = tok.next();
    text.mnemonic = spanof(tok, cmd.op, offset);
  } else {
    cmd.op = token;
    text.mnemonic = text.whole;
  }

  text.operand = tok.next();
  text.operand_span = spanof(tok, text.operand, offset);
  if (cmd.op == kWordDirective) {
    // A word's value, never a label.
    if (!wordvalue(text.operand, cmd.data)) cmd.data = -1;
  } else if (isinteger(text.operand)) {
    cmd.data = text.operand.toInt();
  } else {
    cmd.jmptarget = text.operand;
  }

  while (tok.hasTokens()) {
    const String more = tok.next();
    if (text.rest.length() > 0) text.rest += ' ';
    text.rest += more;
    const Span span = spanof(tok, more, offset);
    if (span.empty()) continue;
    if (text.rest_span.empty()) text.rest_span.begin = span.begin;
    text.rest_span.end = span.end;
  }
  for (const Span& part : {text.mnemonic, text.operand_span, text.rest_span}) {
    if (!part.empty()) text.whole.end = part.end;
  }
}

String statementcomment(const instruction& cmd) {
  String text;
  if (cmd.label.length() > 0) text += cmd.label + ':';
  text += String("\t\t") + cmd.op + ' ';
  if (cmd.jmptarget.length() > 0) {
    text += cmd.jmptarget;
  } else {
    String number;
    number.printf("%d", cmd.data);
    text += number;
  }
  return text;
}
