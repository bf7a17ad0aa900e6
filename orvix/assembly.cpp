#include "orvix/assembly.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>

#include "orvix/suggest.h"

namespace {

// Collects an assembly's diagnostics and console lines as they are found.
class Report {
 public:
  Report(Assembly& a, const AssemblyOptions& options) : a_(a), options_(options) {}

  void progress(const std::string& text) { a_.console.push_back({CONSOLE_PROGRESS, text}); }
  void message(const std::string& text) { a_.console.push_back({CONSOLE_MESSAGE, text}); }

  // A problem at `range` of source line `line`, with the name it suggests.
  void problem(Severity severity, long long line, Span range, const std::string& text,
               const std::string& suggestion = "") {
    Diagnostic d;
    d.line = line;
    d.range = range;
    d.severity = severity;
    d.text = text;
    if (!suggestion.empty()) d.text += "; did you mean '" + suggestion + "'?";
    d.suggestion = suggestion;
    if (severity == SEVERITY_WARNING) a_.warnings++;
    if (options_.report) message(locatedline(options_.source, d));
    a_.diagnostics.push_back(d);
  }

 private:
  Assembly& a_;
  const AssemblyOptions& options_;
};

// The whole of a line `length` bytes long.
Span wholeline(long long length) {
  Span span;
  span.end = length;
  return span;
}

// `part`, or `otherwise` when it is empty.
Span orelse(const Span& part, const Span& otherwise) { return part.empty() ? otherwise : part; }

// True for an optional minus sign followed by one or more digits: a number
// whose whole text is its value.
bool isplaindecimal(const String& str) {
  int i = str.length() > 0 && str[0] == '-' ? 1 : 0;
  if (i == str.length()) return false;
  for (; i < str.length(); i++) {
    if (!isdigit(static_cast<unsigned char>(str[i]))) return false;
  }
  return true;
}

// What the loader would pass over in source line `line`.
void checkline(const SourceText::Line& line, Report& report) {
  if (line.length > kMaxLineLength - 1) {
    report.problem(SEVERITY_WARNING, line.number, wholeline(line.length),
                   formatted("line is %lld bytes long, over %d: it is read in pieces of %d "
                             "bytes, each a statement of its own",
                             line.length, kMaxLineLength - 1, kMaxLineLength - 1));
  }
  if (line.nul) {
    report.problem(SEVERITY_WARNING, line.number, wholeline(line.length),
                   "NUL byte in the line: the rest of the line is ignored");
  }
  if (line.ctrlz) {
    Span at;
    at.begin = line.length;
    at.end = line.length + 1;
    report.problem(SEVERITY_WARNING, line.number, at,
                   "a Ctrl-Z byte ends the source here; the rest is not read");
  }
}

// What the loader would pass over in statement `i` of `a`.
void checkstatement(const Assembly& a, size_t i, Report& report) {
  const Statement& s = a.statements[i];
  const instruction& cmd = s.record;
  if (cmd.label.length() > 0) {
    for (size_t k = 0; k < i; k++) {
      if (a.statements[k].record.label == cmd.label) {
        report.problem(SEVERITY_WARNING, s.line, s.text.label,
                       formatted("label '%s' is defined again (first on line %lld): jumps reach "
                                 "the first",
                                 cmd.label.cStr(), a.statements[k].line));
        break;
      }
    }
  }
  if (s.text.operand.length() > 0 && cmd.jmptarget.length() == 0 && cmd.op != kWordDirective &&
      !isplaindecimal(s.text.operand)) {
    report.problem(SEVERITY_WARNING, s.line, s.text.operand_span,
                   formatted("operand '%s' is not a plain decimal number: it is read as %d",
                             s.text.operand.cStr(), cmd.data));
  }
  if (s.text.rest.length() > 0) {
    report.problem(SEVERITY_WARNING, s.line, s.text.rest_span,
                   formatted("text after the operand is ignored: '%s'", s.text.rest.cStr()));
  }
}

// The names of `a`'s labels, as suggestions for a missing one.
std::vector<std::string> labelnames(const Assembly& a) {
  std::vector<std::string> names;
  for (const Label& l : a.labels) names.push_back(l.name.cStr());
  return names;
}

// The mnemonics, as suggestions for an unknown one.
std::vector<std::string> mnemonicnames() {
  std::vector<std::string> names;
  for (int i = 0; i < kMnemonicCount; i++) names.push_back(kMnemonics[i].name);
  names.push_back(kWordDirective);
  return names;
}

// What the encoder would pass over in statement `i` of `a`, whose row is
// `m`.
void checkoperand(const Assembly& a, size_t i, const Mnemonic& m, Report& report) {
  const Statement& s = a.statements[i];
  const instruction& cmd = s.record;
  const String& written = s.text.operand;
  const Span at = orelse(s.text.operand_span, s.text.mnemonic);
  const int last = static_cast<int>(a.statements.size()) - 1;
  switch (m.kind) {
    case OPERAND_NONE:
      if (written.length() > 0) {
        report.problem(SEVERITY_WARNING, s.line, at,
                       formatted("'%s' takes no operand: '%s' is ignored", m.name, written.cStr()));
      }
      break;
    case OPERAND_DATA: {
      if (cmd.jmptarget.length() > 0) {
        report.problem(SEVERITY_WARNING, s.line, at,
                       formatted("label '%s' given to '%s', which takes a number: the field gets "
                                 "all ones",
                                 cmd.jmptarget.cStr(), m.name));
        break;
      }
      const long long low = -(1LL << (m.width - 1));
      const long long high = (1LL << m.width) - 1;
      if (cmd.data < low || cmd.data > high) {
        report.problem(
            SEVERITY_WARNING, s.line, at,
            formatted("operand %s does not fit the %d-bit field of '%s': its low %d "
                      "bits %s are kept",
                      written.cStr(), m.width, m.name, m.width, bitify(cmd.data, m.width).cStr()));
      }
      break;
    }
    case OPERAND_JUMP: {
      int address = 0;
      if (cmd.jmptarget.length() == 0) {
        address = cmd.data & (kMemoryWords - 1);
        if (cmd.data < 0 || cmd.data >= kMemoryWords) {
          report.problem(SEVERITY_WARNING, s.line, at,
                         formatted("jump target %s is not an address 0..%d: its low %d bits %s "
                                   "(address %d) are kept",
                                   written.cStr(), kMemoryWords - 1, kJumpBits,
                                   bitify(cmd.data, kJumpBits).cStr(), address));
        }
      } else if (s.target >= 0) {
        address = s.target;
      } else {
        report.problem(SEVERITY_WARNING, s.line, at,
                       formatted("jump to label '%s', which no statement defines: address 0 is "
                                 "used",
                                 cmd.jmptarget.cStr()),
                       suggest(cmd.jmptarget.cStr(), labelnames(a)));
      }
      if (address > last) {
        report.problem(SEVERITY_WARNING, s.line, at,
                       formatted("jump to address %d lies past the last statement (address %d), "
                                 "into the zero words",
                                 address, last));
      }
      break;
    }
  }
}

// Encodes the `.word` statement `s`, with its progress line; false, after
// the located error, when its operand is no word.
bool placeword(Statement& s, Report& report) {
  if (s.record.data < 0 || s.record.data >= 1 << kWordBits) {
    const std::string text = formatted(".word needs a value from 0 to %d (or 0x0 to 0x%x)",
                                       (1 << kWordBits) - 1, (1 << kWordBits) - 1);
    report.problem(SEVERITY_ERROR, s.line, orelse(s.text.operand_span, s.text.mnemonic),
                   s.text.operand.length() > 0
                       ? text + ": '" + s.text.operand.cStr() + "' is not one"
                       : text + ": none is given");
    return false;
  }
  s.word = bitify(s.record.data, kWordBits);
  s.comment = statementcomment(s.record);
  report.progress(std::string(s.word.cStr()) + "\n");
  return true;
}

}  // namespace

int Assembly::encoded() const {
  int n = 0;
  while (n < static_cast<int>(statements.size()) && statements[n].word.length() > 0) n++;
  return n;
}

std::string Assembly::consoletext() const {
  std::string text;
  for (const ConsoleLine& line : console) text += line.text;
  return text;
}

Assembly loadstatements(SourceText& text, const AssemblyOptions& options) {
  Assembly a;
  Report report(a, options);
  if (options.keep_lines) text.keepLines();
  if (options.ctrlz_ends) text.endAtCtrlZ();
  text.noteLongerThan(kMaxLineLength - 1);
  LineReader reader(SourceText::read, &text, kMaxLineLength);
  reader.configure(LR_SET_TRIM_LINES, reinterpret_cast<void*>(1));
  reader.configure(LR_SET_WHITESPACE, const_cast<char*>(" \t\r"));
  reader.configure(LR_SET_CASE_SENSITIVE, nullptr);
  reader.configure(LR_ADD_PARTIAL_COMMENT, const_cast<char*>(";"));
  reader.configure(LR_ADD_COMMENT_START, const_cast<char*>(";"));
  report.progress("Processing ZRC assembly source file '" + options.source + "'...\n");

  // One statement more than memory holds is enough to tell that the
  // program is too long.
  String line;
  while (a.statements.size() <= static_cast<size_t>(kMemoryWords) && reader.getLine(line)) {
    Statement s;
    parsestatement(line, reader.lineOffset(), s.record, s.text);
    s.line = reader.lineNumber();
    a.statements.push_back(s);
  }

  // Only lines before the one a read error broke off count, and before the
  // line of a statement beyond the last word: the program is then refused
  // as it stands up to there.
  long long stop = text.failed() ? text.lastLine() : LLONG_MAX;
  size_t kept = 0;
  while (kept < a.statements.size() && a.statements[kept].line < stop) kept++;
  const bool too_many = kept > static_cast<size_t>(kMemoryWords);
  Statement beyond;  // the first statement beyond the last word
  if (too_many) {
    beyond = a.statements[kMemoryWords];
    stop = beyond.line;
    while (kept > 0 && a.statements[kept - 1].line >= stop) kept--;
  }
  a.statements.resize(kept);
  for (size_t i = 0; i < a.statements.size(); i++) {
    const Statement& s = a.statements[i];
    if (s.record.label.length() == 0) continue;
    Label l;
    l.name = s.record.label;
    l.address = static_cast<int>(i);
    l.line = s.line;
    l.range = s.text.label;
    for (const Label& earlier : a.labels) l.first = l.first && earlier.name != l.name;
    a.labels.push_back(l);
  }

  // What the loader would pass over, line by line: the line itself, then
  // each statement on it.
  const std::vector<SourceText::Line>& noted = text.lines();
  size_t n = 0;
  for (size_t i = 0; i <= a.statements.size(); i++) {
    const long long upto = i < a.statements.size() ? a.statements[i].line : stop - 1;
    for (; n < noted.size() && noted[n].number <= upto; n++) {
      if (options.keep_lines) a.lines.push_back(noted[n]);
      checkline(noted[n], report);
    }
    if (i < a.statements.size()) checkstatement(a, i, report);
  }

  if (too_many) {
    report.problem(SEVERITY_ERROR, beyond.line, beyond.text.whole,
                   formatted("too many statements: the memory holds %d words", kMemoryWords));
    a.failure =
        formatted("Too many statements, ZRC memory holds %d words, aborting..\n", kMemoryWords);
    report.message(a.failure);
    a.outcome = OUTCOME_TOO_MANY;
  } else if (text.failed()) {
    a.read_error = text.error();
    report.problem(SEVERITY_ERROR, 0, Span(),
                   std::string("cannot read: ") +
                       (text.utf16() ? "the source is UTF-16 text; save it as UTF-8"
                                     : strerror(text.error() != 0 ? text.error() : EIO)));
    a.failure = "Error reading ZRC assembly source file '" + options.source + "', aborting..\n";
    report.message(a.failure);
    a.outcome = OUTCOME_READ_ERROR;
  } else if (a.statements.empty()) {
    report.problem(SEVERITY_ERROR, 0, Span(), "the source holds no statement");
    a.outcome = OUTCOME_NO_STATEMENT;
  } else {
    a.outcome = OUTCOME_ASSEMBLED;
  }
  return a;
}

void resolvelabels(Assembly& a) {
  for (Statement& s : a.statements) {
    s.target = -1;
    if (s.record.jmptarget.length() == 0) continue;
    for (const Label& l : a.labels) {
      if (l.first && l.name == s.record.jmptarget) s.target = l.address;
    }
  }
}

void encodestatements(Assembly& a, const AssemblyOptions& options) {
  Report report(a, options);
  report.progress("Generating " + options.format_title + " output '" + options.output + "'\n");
  for (size_t i = 0; i < a.statements.size(); i++) {
    Statement& s = a.statements[i];
    if (s.record.op == kWordDirective) {
      if (!placeword(s, report)) {
        a.failure = formatted("Invalid .word value '%s', aborting..\n", s.text.operand.cStr());
        report.message(a.failure);
        a.outcome = OUTCOME_BAD_WORD;
        return;
      }
      continue;
    }
    const Mnemonic* m = findmnemonic(s.record.op);
    if (m == nullptr && s.record.op.length() == 0) {
      // A label alone, or commas alone: the line has no mnemonic to be unknown.
      report.problem(SEVERITY_ERROR, s.line, s.text.whole,
                     s.record.label.length() > 0
                         ? formatted("no instruction after the label '%s': a statement needs a "
                                     "mnemonic",
                                     s.record.label.cStr())
                         : std::string("no instruction in the statement: it needs a mnemonic"));
    } else if (m == nullptr) {
      report.problem(SEVERITY_ERROR, s.line, s.text.mnemonic,
                     formatted("unknown instruction '%s'", s.record.op.cStr()),
                     suggest(s.record.op.cStr(), mnemonicnames()));
    }
    if (m == nullptr) {
      a.failure = formatted("Unknown ZRC instruction '%s', aborting..\n", s.record.op.cStr());
      report.message(a.failure);
      a.outcome = OUTCOME_UNKNOWN_MNEMONIC;
      return;
    }
    checkoperand(a, i, *m, report);
    int field = s.record.data;
    if (m->kind == OPERAND_JUMP && s.record.jmptarget.length() > 0) {
      field = s.target >= 0 ? s.target : 0;
      if (s.target < 0) {
        report.message(
            formatted("Warning: Label '%s' in jump statement not found, using address 0\n",
                      s.record.jmptarget.cStr()));
      }
    }
    s.word = encodeword(*m, field);
    s.comment = statementcomment(s.record);
    report.progress(std::string(s.word.cStr()) + "\n");
  }
  a.outcome = options.strict && a.warnings > 0 ? OUTCOME_STRICT : OUTCOME_ASSEMBLED;
}

namespace {

Assembly assemblefrom(SourceText& text, const AssemblyOptions& options) {
  Assembly a = loadstatements(text, options);
  if (a.assembled()) {
    resolvelabels(a);
    encodestatements(a, options);
  }
  if (a.outcome == OUTCOME_UNKNOWN_MNEMONIC || a.outcome == OUTCOME_BAD_WORD ||
      a.outcome == OUTCOME_STRICT) {
    a.console.push_back({CONSOLE_MESSAGE, "orvix: Error generating machine code.\n"});
  } else if (!a.assembled()) {
    a.console.push_back(
        {CONSOLE_MESSAGE, "orvix: Error reading source file " + options.source + ".\n"});
  }
  return a;
}

}  // namespace

Assembly assemble(FILE* source, const AssemblyOptions& options) {
  SourceText text(source);
  return assemblefrom(text, options);
}

Assembly assemble(const std::string& text, const AssemblyOptions& options) {
  SourceText source(text.data(), text.size());
  return assemblefrom(source, options);
}
