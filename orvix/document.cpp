#include "orvix/document.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "orvix/instructionset.h"

namespace {

// The directive that places a raw word, offered beside the mnemonics.
struct Directive {
  const char* name;
  const char* layout;
  const char* help;
};
const Directive kWord = {kWordDirective, "nnnnnnnnnn",
                         "`.word N`: the 10-bit word N itself, 0 to 1023 (or `0x000` to `0x3ff`)"};

std::string hex(long long value, int digits) { return formatted("0x%0*llx", digits, value); }

// "address 3 (0x03)".
std::string addresstext(long long address) {
  return formatted("address %lld (%s)", address, hex(address, 2).c_str());
}

// The word of `m` with its operand field shown as letters: d for data bits,
// a for the bits of a jump address.
std::string layout(const Mnemonic& m) {
  return std::string(m.fixed) +
         std::string(static_cast<size_t>(m.width), m.kind == OPERAND_JUMP ? 'a' : 'd');
}

// What a mnemonic becomes, in Markdown.
std::string mnemonichelp(const Mnemonic& m) {
  std::string help = formatted("`%s`: word `%s`, ", m.name, layout(m).c_str());
  switch (m.kind) {
    case OPERAND_NONE:
      help += "no operand";
      break;
    case OPERAND_DATA:
      help +=
          formatted("fixed bits `%s`, then the %d-bit data field (d): the operand's low %d bits",
                    m.fixed, m.width, m.width);
      break;
    case OPERAND_JUMP:
      help += formatted("fixed bits `%s`, then the %d-bit jump address (a): a label, or 0 to %d",
                        m.fixed, m.width, kMemoryWords - 1);
      break;
  }
  for (int i = 0; i < kMnemonicCount; i++) {
    const Mnemonic& other = kMnemonics[i];
    if (&other != &m && m.kind == OPERAND_NONE && strcmp(other.fixed, m.fixed) == 0) {
      help += formatted("; the same word as `%s`", other.name);
    }
  }
  return help;
}

// Characters a label's name cannot hold, and what to call them.
struct Forbidden {
  char c;
  const char* what;
};
const Forbidden kForbidden[] = {
    {' ', "a blank"},
    {'\t', "a tab"},
    {',', "a comma"},
    {';', "a ';', which begins a comment"},
    {':', "a ':', which ends a label"},
};

// Characters of the UTF-8 text `s`, as an editor lays them out in columns.
long long width(const std::string& s) {
  long long n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xc0) != 0x80;
  return n;
}

long long roundup8(long long n) { return (n + 7) / 8 * 8; }

// `s` with blanks added up to column `column`, or one blank when it is
// there already.
void padto(std::string& s, long long column) {
  const long long w = width(s);
  s.append(static_cast<size_t>(w < column ? column - w : 1), ' ');
}

// `s` without its trailing blanks and tabs.
std::string rstripped(const std::string& s) {
  const size_t end = s.find_last_not_of(" \t");
  return end == std::string::npos ? "" : s.substr(0, end + 1);
}

// True when column `column` lies in `span` or just after it.
bool within(const Span& span, long long column) {
  return !span.empty() && span.begin <= column && column <= span.end;
}

// True when `a` and `b` read as the same statement at the same line.
bool samestatement(const Statement& a, const Statement& b) {
  return a.line == b.line && a.record.label == b.record.label && a.record.op == b.record.op &&
         a.record.jmptarget == b.record.jmptarget && a.record.data == b.record.data &&
         a.text.operand == b.text.operand && a.text.rest == b.text.rest;
}

}  // namespace

Document::Document(const std::string& text, const std::string& name) : text_(text) {
  starts_.push_back(0);
  for (size_t i = 0; i < text_.size(); i++) {
    if (text_[i] == '\n') starts_.push_back(i + 1);
  }
  if (text_.compare(0, 3, "\xef\xbb\xbf") == 0) bom_ = 3;
  AssemblyOptions options;
  options.source = name;
  options.report = true;
  assembly_ = assemble(text_, options);
}

std::string Document::line(long long line) const {
  if (line < 0 || line >= lineCount()) return "";
  const size_t begin = starts_[static_cast<size_t>(line)];
  size_t end = line + 1 < lineCount() ? starts_[static_cast<size_t>(line + 1)] - 1 : text_.size();
  if (end > begin && end < text_.size() && text_[end - 1] == '\r') end--;
  return text_.substr(begin, end - begin);
}

long long Document::sourcecolumn(long long line, long long column) const {
  return line == 0 ? column - bom_ : column;
}

TextRange Document::rangein(long long line, const Span& span) const {
  const long long shift = line == 1 ? bom_ : 0;
  TextRange r;
  r.start.line = r.end.line = line - 1;
  r.start.column = span.begin + shift;
  r.end.column = span.end + shift;
  return r;
}

std::vector<size_t> Document::statementson(long long line) const {
  std::vector<size_t> found;
  for (size_t i = 0; i < assembly_.statements.size(); i++) {
    if (assembly_.statements[i].line == line + 1) found.push_back(i);
  }
  return found;
}

TextRange Document::rangeof(const Diagnostic& d) const {
  long long line = d.line;
  if (line == 0) line = assembly_.statements.empty() ? 1 : assembly_.statements[0].line;
  if (!d.range.empty()) return rangein(line, d.range);
  TextRange r;
  r.start.line = r.end.line = line - 1;
  r.end.column = static_cast<long long>(this->line(line - 1).size());
  return r;
}

std::string Document::labelat(TextPoint p, TextRange* range) const {
  const long long column = sourcecolumn(p.line, p.column);
  for (size_t i : statementson(p.line)) {
    const Statement& s = assembly_.statements[i];
    if (s.record.label.length() > 0 && within(s.text.label, column)) {
      if (range != nullptr) *range = rangein(s.line, s.text.label);
      return s.record.label.cStr();
    }
    if (s.record.jmptarget.length() > 0 && within(s.text.operand_span, column)) {
      if (range != nullptr) *range = rangein(s.line, s.text.operand_span);
      return s.record.jmptarget.cStr();
    }
  }
  return "";
}

const Label* Document::definition(const std::string& name) const {
  for (const Label& l : assembly_.labels) {
    if (l.first && name == l.name.cStr()) return &l;
  }
  return nullptr;
}

std::vector<TextRange> Document::references(const std::string& name, bool definitions) const {
  std::vector<TextRange> found;
  for (const Statement& s : assembly_.statements) {
    if (definitions && name == s.record.label.cStr())
      found.push_back(rangein(s.line, s.text.label));
    if (name == s.record.jmptarget.cStr()) found.push_back(rangein(s.line, s.text.operand_span));
  }
  return found;
}

std::string Document::renamerefusal(const std::string& to) const {
  if (assembly_.outcome == OUTCOME_TOO_MANY || assembly_.outcome == OUTCOME_READ_ERROR) {
    return "the source is not read to its end, so a rename could miss a statement";
  }
  if (to.empty()) return "the new name is empty";
  for (char c : to) {
    for (const Forbidden& f : kForbidden) {
      if (c == f.c) return "'" + to + "' cannot be a label: it holds " + f.what;
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      return "'" + to + "' cannot be a label: it holds a control character";
    }
  }
  if (isinteger(to.c_str())) {
    return "'" + to + "' cannot be a label: it reads as a number (digits and '-' alone)";
  }
  for (const Label& l : assembly_.labels) {
    if (to == l.name.cStr())
      return formatted("'%s' is already a label (line %lld)", to.c_str(), l.line);
  }
  for (const Statement& s : assembly_.statements) {
    if (to == s.record.jmptarget.cStr()) {
      return formatted(
          "'%s' is already named by the operand on line %lld: it would then reach "
          "the renamed label",
          to.c_str(), s.line);
    }
  }
  return "";
}

std::vector<TextEdit> Document::rename(const std::string& from, const std::string& to) const {
  std::vector<TextEdit> edits;
  for (const TextRange& r : references(from, true)) edits.push_back({r, to});
  return edits;
}

std::string Document::hover(TextPoint p, TextRange* range) const {
  // REQUIRES: range != nullptr
  assert(range != nullptr);
  const long long column = sourcecolumn(p.line, p.column);
  for (size_t i : statementson(p.line)) {
    const Statement& s = assembly_.statements[i];
    if (!within(s.text.whole, column)) continue;
    const std::string name = labelat(p, range);
    if (!name.empty()) {
      const Label* l = definition(name);
      if (l == nullptr) {
        return "label `" + name + "` is defined by no statement: a jump to it goes to address 0";
      }
      std::string text =
          formatted("label `%s`: %s, defined on line %lld\n\n```\n%s\n```", name.c_str(),
                    addresstext(l->address).c_str(), l->line, rstripped(line(l->line - 1)).c_str());
      for (const Label& again : assembly_.labels) {
        if (!again.first && name == again.name.cStr()) {
          text += formatted("\n\ndefined again on line %lld, which jumps do not reach", again.line);
        }
      }
      return text;
    }
    const Mnemonic* m = findmnemonic(s.record.op);
    if (within(s.text.mnemonic, column)) {
      *range = rangein(s.line, s.text.mnemonic);
      if (m != nullptr) return mnemonichelp(*m);
      if (s.record.op == kWord.name) return kWord.help;
      return "";
    }
    *range = rangein(s.line, s.text.whole);
    std::string text = addresstext(static_cast<long long>(i));
    const std::string word = s.word.cStr();
    if (word.empty()) return text + ": not encoded, since the program does not assemble";
    text += formatted(": word `%s` (%s)", word.c_str(),
                      hex(strtol(word.c_str(), nullptr, 2), 3).c_str());
    if (m == nullptr) return text;
    const size_t fixed = strlen(m->fixed);
    const std::string field = word.substr(fixed);
    text += "\n\n`" + word.substr(0, fixed) + "` fixed bits of `" + m->name + "`";
    const long long value = strtol(field.c_str(), nullptr, 2);
    switch (m->kind) {
      case OPERAND_NONE:
        text += ", no operand field";
        break;
      case OPERAND_DATA:
        text += formatted(", `%s` data field (%lld)", field.c_str(), value);
        break;
      case OPERAND_JUMP:
        text += formatted(", `%s` jump address (%lld)", field.c_str(), value);
        break;
    }
    return text;
  }
  return "";
}

std::vector<Completion> Document::completions(TextPoint p) const {
  const long long column = sourcecolumn(p.line, p.column);
  const std::string text = line(p.line);
  const size_t comment = text.find(';');
  if (comment != std::string::npos && static_cast<long long>(comment) < p.column) return {};
  const Statement* s = nullptr;
  for (size_t i : statementson(p.line)) {
    if (assembly_.statements[i].text.whole.begin <= column) s = &assembly_.statements[i];
  }
  std::vector<Completion> items;
  if (s != nullptr && s->record.label.length() > 0 && column <= s->text.label.end) return items;
  if (s != nullptr && !s->text.mnemonic.empty() && column > s->text.mnemonic.end) {
    const Mnemonic* m = findmnemonic(s->record.op);
    if (m == nullptr || m->kind != OPERAND_JUMP) return items;
    for (const Label& l : assembly_.labels) {
      if (l.first) items.push_back({l.name.cStr(), addresstext(l.address), "", true});
    }
    return items;
  }
  for (int i = 0; i < kMnemonicCount; i++) {
    items.push_back({kMnemonics[i].name, layout(kMnemonics[i]), mnemonichelp(kMnemonics[i])});
  }
  items.push_back({kWord.name, kWord.layout, kWord.help});
  return items;
}

std::vector<LabelSymbol> Document::symbols() const {
  std::vector<LabelSymbol> found;
  for (const Label& l : assembly_.labels) {
    const Statement& s = assembly_.statements[static_cast<size_t>(l.address)];
    LabelSymbol symbol;
    symbol.name = l.name.cStr();
    symbol.detail = addresstext(l.address) + (l.first ? "" : ", not reached by jumps");
    symbol.range = rangein(l.line, s.text.whole);
    symbol.name_range = rangein(l.line, l.range);
    found.push_back(symbol);
  }
  return found;
}

bool Document::format(std::vector<TextEdit>* edits) const {
  edits->clear();
  // One row per line; a statement's parts are laid out in columns.
  struct Row {
    std::string label, mnemonic, operand, comment;
    bool statement = false;
    bool keep = false;  // the line stays as it is
  };
  const Assembly& a = assembly_;
  const bool partial = a.outcome == OUTCOME_TOO_MANY || a.outcome == OUTCOME_READ_ERROR;
  const long long lastread = a.statements.empty() ? 0 : a.statements.back().line;
  std::vector<Row> rows(static_cast<size_t>(lineCount()));
  long long labels = 0, mnemonics = 0, operands = 0;
  for (long long n = 0; n < lineCount(); n++) {
    Row& row = rows[static_cast<size_t>(n)];
    const std::string text = line(n);
    const std::vector<size_t> here = statementson(n);
    if (text.find('\0') != std::string::npos ||
        text.size() >= static_cast<size_t>(kMaxLineLength) || here.size() > 1 ||
        (partial && n + 1 > lastread) || (n == 0 && bom_ > 0)) {
      row.keep = true;
      continue;
    }
    if (here.empty()) continue;
    const Statement& s = a.statements[here[0]];
    const TextRange whole = rangein(s.line, s.text.whole);
    const Span& first = s.record.label.length() > 0 ? s.text.label : s.text.mnemonic;
    const size_t comment = text.find(';', static_cast<size_t>(whole.end.column));
    const size_t end = comment == std::string::npos ? text.size() : comment;
    // Only separators may stand between the statement and its comment.
    if (first.empty() || first.begin != s.text.whole.begin ||
        text.find_first_not_of(" \t,", static_cast<size_t>(whole.end.column)) < end) {
      row.keep = true;
      continue;
    }
    row.statement = true;
    row.label = s.record.label.cStr();
    row.mnemonic = s.record.op.cStr();
    if (!s.text.operand_span.empty()) {
      const TextRange op = rangein(s.line, s.text.operand_span);
      const TextRange tail = s.text.rest_span.empty() ? op : rangein(s.line, s.text.rest_span);
      row.operand = text.substr(static_cast<size_t>(op.start.column),
                                static_cast<size_t>(tail.end.column - op.start.column));
    }
    if (comment != std::string::npos) row.comment = rstripped(text.substr(comment));
    if (!row.label.empty()) labels = std::max(labels, width(row.label) + 1);
    mnemonics = std::max(mnemonics, width(row.mnemonic));
    operands = std::max(operands, width(row.operand));
  }
  const long long mnemonic_column = labels == 0 ? 8 : roundup8(labels + 1);
  const long long operand_column = mnemonic_column + roundup8(mnemonics + 1);
  const long long comment_column = operand_column + roundup8(operands + 1);

  std::string formatted_text;
  for (long long n = 0; n < lineCount(); n++) {
    const Row& row = rows[static_cast<size_t>(n)];
    const std::string old = line(n);
    std::string now = rstripped(old);
    if (row.keep) now = old;
    if (row.statement) {
      now = row.label.empty() ? "" : row.label + ":";
      if (!row.mnemonic.empty()) {
        padto(now, mnemonic_column);
        now += row.mnemonic;
      }
      if (!row.operand.empty()) {
        padto(now, operand_column);
        now += row.operand;
      }
      if (!row.comment.empty()) {
        padto(now, comment_column);
        now += row.comment;
      }
    }
    // The line's end as it was: LF, CR LF, or none for the last line.
    const size_t begin = starts_[static_cast<size_t>(n)];
    const size_t next = n + 1 < lineCount() ? starts_[static_cast<size_t>(n + 1)] : text_.size();
    formatted_text += now + text_.substr(begin + old.size(), next - begin - old.size());
    if (now == old) continue;
    TextEdit e;
    e.range.start.line = e.range.end.line = n;
    e.range.end.column = static_cast<long long>(old.size());
    e.text = now;
    edits->push_back(e);
  }

  // The formatted source must read as the same statements.
  const Document after(formatted_text, "");
  const Assembly& b = after.assembly();
  bool same = a.outcome == b.outcome && a.statements.size() == b.statements.size();
  for (size_t i = 0; same && i < a.statements.size(); i++) {
    same = samestatement(a.statements[i], b.statements[i]);
  }
  if (!same) edits->clear();
  return same;
}

std::vector<QuickFix> Document::quickfixes(long long first, long long last) const {
  std::vector<QuickFix> fixes;
  const std::vector<Diagnostic>& all = assembly_.diagnostics;
  for (size_t i = 0; i < all.size(); i++) {
    if (all[i].suggestion.empty()) continue;
    const TextRange r = rangeof(all[i]);
    if (r.start.line < first || r.start.line > last) continue;
    const std::string written = line(r.start.line)
                                    .substr(static_cast<size_t>(r.start.column),
                                            static_cast<size_t>(r.end.column - r.start.column));
    fixes.push_back(
        {i, "Change '" + written + "' to '" + all[i].suggestion + "'", {r, all[i].suggestion}});
  }
  return fixes;
}
