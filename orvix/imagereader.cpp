#include "orvix/imagereader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "orvix/instructionset.h"

namespace {

// A number is read up to this value; anything larger stays here, and is
// shown as written.
const unsigned long long kNumberCap = 1ULL << 40;

// The value of digit `c` in `base` (2, 8, 10 or 16), or -1.
int digitvalue(char c, int base) {
  const unsigned char u = static_cast<unsigned char>(c);
  const int v = isdigit(u) ? u - '0' : isxdigit(u) ? tolower(u) - 'a' + 10 : -1;
  return v < base ? v : -1;
}

// Reads `digits` in `base` into `value` (capped at kNumberCap); '_' after
// the first digit is skipped when `underscores`. False when empty or when a
// character is no digit of the base.
bool readnumber(const std::string& digits, int base, bool underscores, unsigned long long& value) {
  value = 0;
  bool any = false;
  for (char c : digits) {
    if (underscores && any && c == '_') continue;
    const int d = digitvalue(c, base);
    if (d < 0) return false;
    value = std::min(value * static_cast<unsigned>(base) + static_cast<unsigned>(d), kNumberCap);
    any = true;
  }
  return any;
}

// `text` in upper case.
std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return text;
}

// How a character that has no place where it stands is shown.
std::string charname(char c) {
  if (c > ' ' && c < 0x7f) return std::string("'") + c + "'";
  return formatted("byte 0x%02X", static_cast<unsigned char>(c));
}

// A value as a message shows it: hexadecimal, or as written when too large.
std::string valuename(unsigned long long value, const std::string& written) {
  return value >= kNumberCap ? "'" + written + "'" : formatted("0x%llX", value);
}

// The forms, as recognised.
enum Form { FORM_MIF, FORM_COE, FORM_READMEM, FORM_READMEMB, FORM_READMEMH, FORM_LOGISIM };

// A radix of MIF: its name, base, and whether a minus sign may stand first.
struct Radix {
  const char* name;
  int base;
  bool sign;
};

const Radix kMifRadixes[] = {
    {"BIN", 2, false}, {"OCT", 8, false}, {"DEC", 10, true}, {"HEX", 16, false}, {"UNS", 10, false},
};

// One word of a Verilog memory file or a Logisim image: a value, an address
// ("@..."), or a run ("N*V"), with the comment that follows it on its line.
struct Token {
  std::string text;
  long long line;
  std::string comment;
};

// Reads one image text into a MemoryImage. Every reading function returns
// false once an error is recorded.
class Reader {
 public:
  Reader(const std::string& text, MemoryImage& image) : t_(text), image_(image) {
    image_.words.assign(kMemoryWords, 0);
    image_.comments.assign(kMemoryWords, "");
  }

  bool read() {
    const size_t nul = t_.find('\0');
    if (nul != std::string::npos) {
      return error(1 + std::count(t_.begin(), t_.begin() + static_cast<long>(nul), '\n'),
                   "a NUL byte: the file is no text image");
    }
    if (t_.compare(0, 3, "\xEF\xBB\xBF") == 0) p_ = 3;  // a UTF-8 byte order mark
    Form form;
    if (!recognise(form)) return false;
    switch (form) {
      case FORM_MIF:
        return mif();
      case FORM_COE:
        return coe();
      case FORM_LOGISIM:
        return logisim();
      case FORM_READMEM:
      case FORM_READMEMB:
      case FORM_READMEMH:
        return readmem(form);
    }
    return false;
  }

 private:
  // --- Scanning -----------------------------------------------------------

  char at(size_t ahead = 0) const { return p_ + ahead < t_.size() ? t_[p_ + ahead] : '\0'; }
  bool end() const { return p_ >= t_.size(); }
  void next() {
    if (t_[p_] == '\n') line_++;
    p_++;
  }
  static bool isblank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v' || c == '\n';
  }
  void blanks() {
    while (!end() && isblank(at())) next();
  }
  // Blanks up to the end of the line, which is not passed.
  void lineblanks() {
    while (!end() && at() != '\n' && isblank(at())) next();
  }
  // The rest of the line, without its line end, which is not passed.
  std::string restofline() {
    const size_t start = p_;
    while (!end() && at() != '\n') next();
    std::string text = t_.substr(start, p_ - start);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
  }
  // The line of the end of the text: the last line.
  long long lastline() const { return line_ - (!t_.empty() && t_.back() == '\n' && end() ? 1 : 0); }
  bool startswith(const char* text) const { return t_.compare(p_, strlen(text), text) == 0; }
  // The longest run of characters for which `part` holds.
  template <class Part>
  std::string take(Part part) {
    const size_t start = p_;
    while (!end() && part(at())) next();
    return t_.substr(start, p_ - start);
  }
  static bool isword(char c) { return isalnum(static_cast<unsigned char>(c)) || c == '_'; }
  // Passes the block comment that opens here with `open` and ends with
  // `close`; an error, at the line where it opens, when it never ends.
  bool blockcomment(const char* open, const char* close) {
    const long long opened = line_;
    for (size_t i = 0; i < strlen(open); i++) next();
    while (!end() && !startswith(close)) next();
    if (end())
      return error(opened, std::string("a comment opened with '") + open + "' is not closed");
    for (size_t i = 0; i < strlen(close); i++) next();
    return true;
  }

  // --- Results ------------------------------------------------------------

  bool error(long long line, const std::string& text) {
    Diagnostic d;
    d.line = line;
    d.severity = SEVERITY_ERROR;
    d.text = text;
    image_.diagnostics.push_back(d);
    return false;
  }
  bool unexpected(const char* form) {
    return error(line_, "unexpected " + charname(at()) + " in " + form + " image");
  }
  bool expect(char c, const char* form, const char* where) {
    if (at() == c) {
      next();
      return true;
    }
    return error(line_, formatted("'%c' expected %s, found ", c, where) +
                            (end() ? std::string("the end of the file") : charname(at())) + " (" +
                            form + " image)");
  }

  // Places `value` at `address`, read at line `line`.
  bool store(unsigned long long address, int value, long long line) {
    if (address >= static_cast<unsigned long long>(kMemoryWords)) {
      if (value == 0) return true;
      return error(line, formatted("address %llu lies past the %d words of memory and holds "
                                   "0x%X, not zero",
                                   address, kMemoryWords, value));
    }
    if (given_[address] != 0) {
      Diagnostic d;
      d.line = line;
      d.text = formatted("address %llu is given again (first on line %lld): the later value counts",
                         address, given_[address]);
      image_.diagnostics.push_back(d);
      image_.warnings++;
    }
    given_[address] = line;
    image_.words[address] = value;
    image_.comments[address] = "";
    return true;
  }

  // Places the values `values` again and again from `first` to `last`,
  // read at `line`: only addresses below 32 are kept, and a value beyond
  // them must be zero.
  bool storerange(unsigned long long first, unsigned long long last, const std::vector<int>& values,
                  long long line) {
    const unsigned long long n = values.size();
    for (unsigned long long a = first;
         a <= last && a < static_cast<unsigned long long>(kMemoryWords); a++) {
      if (!store(a, values[(a - first) % n], line)) return false;
    }
    // Past memory the values repeat with period n: one period shows them all.
    const unsigned long long beyond =
        std::max(first, static_cast<unsigned long long>(kMemoryWords));
    for (unsigned long long a = beyond; a <= last && a < beyond + n; a++) {
      if (!store(a, values[(a - first) % n], line)) return false;
    }
    return true;
  }

  // A value `written` in `base`, of a ZRC word: into `value`.
  bool wordvalue(const std::string& written, int base, bool underscores, const char* what,
                 int& value) {
    unsigned long long v = 0;
    if (!readnumber(written, base, underscores, v)) {
      return error(line_, "'" + written + "' is not " + what);
    }
    if (v >= static_cast<unsigned long long>(1 << kWordBits)) {
      return error(line_, formatted("value %s does not fit in %d bits",
                                    valuename(v, written).c_str(), kWordBits));
    }
    value = static_cast<int>(v);
    return true;
  }

  // The statement that orvix's comment `text` shows for `address`, the
  // comment reading "<address>: <statement>" (hexadecimal address).
  void keepcomment(unsigned long long address, const std::string& text) {
    if (address >= static_cast<unsigned long long>(kMemoryWords)) return;
    const size_t colon = text.find(": ");
    unsigned long long written = 0;
    if (colon == std::string::npos || !readnumber(text.substr(0, colon), 16, false, written) ||
        written != address) {
      return;
    }
    image_.comments[address] = text.substr(colon + 2);
  }

  // --- Recognising the form -----------------------------------------------

  bool recognise(Form& form) {
    const char* const kOwn[][2] = {
        {"-- MIF Format ZRC Machine Code", "mif"},
        {"// readmemb Format ZRC Machine Code", "b"},
        {"// readmemh Format ZRC Machine Code", "h"},
        {"; COE Format ZRC Machine Code", "coe"},
    };
    const size_t start = p_;
    const std::string first = restofline();
    p_ = start;
    if (first.compare(0, 8, "v2.0 raw") == 0 &&
        first.find_first_not_of(" \t", 8) == std::string::npos) {
      form = FORM_LOGISIM;
      image_.form = "Logisim";
      return true;
    }
    for (const auto& own : kOwn) {
      if (first.compare(0, strlen(own[0]), own[0]) != 0) continue;
      form = strcmp(own[1], "mif") == 0   ? FORM_MIF
             : strcmp(own[1], "coe") == 0 ? FORM_COE
             : strcmp(own[1], "b") == 0   ? FORM_READMEMB
                                          : FORM_READMEMH;
      return true;
    }

    // Else by the first word outside any kind of comment.
    while (true) {
      blanks();
      if (startswith("--") || startswith("//") || at() == ';' || at() == '#') {
        restofline();
      } else if (startswith("/*")) {
        if (!blockcomment("/*", "*/")) return false;
      } else if (at() == '%') {
        if (!blockcomment("%", "%")) return false;
      } else {
        break;
      }
    }
    const long long line = line_;
    bool recognised = true;
    if (end()) {
      recognised = false;
      const bool blank = t_.find_first_not_of(" \t\r\n\f\v", start) == std::string::npos;
      error(blank ? 1 : lastline(), blank ? "the file is empty: it holds no image"
                                          : "the file holds no image, only comments");
    } else if (at() == '@' || isdigit(static_cast<unsigned char>(at()))) {
      form = FORM_READMEM;
    } else if (isword(at())) {
      const std::string written = take(isword);
      const std::string word = upper(written);
      if (word == "DEPTH" || word == "WIDTH" || word == "ADDRESS_RADIX" || word == "DATA_RADIX" ||
          word == "CONTENT") {
        form = FORM_MIF;
      } else if (word == "MEMORY_INITIALIZATION_RADIX" || word == "MEMORY_INITIALIZATION_VECTOR") {
        form = FORM_COE;
      } else if (word.find_first_not_of("0123456789ABCDEFXZ_") == std::string::npos) {
        form = FORM_READMEM;
      } else {
        recognised = false;
        error(line, "not a memory image: '" + written +
                        "' begins no MIF, COE, readmemb, readmemh or Logisim image");
      }
    } else {
      recognised = false;
      error(line, "not a memory image: it begins with " + charname(at()));
    }
    p_ = start;
    line_ = 1;
    return recognised;
  }

  // --- MIF ----------------------------------------------------------------

  // Blanks, "--" comments and "% ... %" comments.
  bool mifspace() {
    while (true) {
      blanks();
      if (startswith("--")) {
        restofline();
      } else if (at() == '%') {
        if (!blockcomment("%", "%")) return false;
      } else {
        return true;
      }
    }
  }

  // A word of MIF: a keyword or a number, a minus sign before digits
  // included.
  std::string mifword() {
    std::string sign;
    if (at() == '-' && isdigit(static_cast<unsigned char>(at(1)))) {
      next();
      sign = "-";
    }
    return sign + take(isword);
  }

  // A decimal number of the header into `value`.
  bool mifnumber(const std::string& keyword, unsigned long long& value) {
    if (!mifspace()) return false;
    const std::string written = mifword();
    if (!readnumber(written, 10, false, value)) {
      return error(line_, keyword + " needs a decimal number, not '" + written + "'");
    }
    return true;
  }

  // A data value in `radix`: a DEC value from -512 on is the word's two's
  // complement.
  bool mifdata(const Radix& radix, int& value) {
    const std::string written = mifword();
    if (written.empty()) return unexpected("a MIF");
    if (written[0] == '-' && radix.sign) {
      unsigned long long magnitude = 0;
      if (!readnumber(written.substr(1), 10, false, magnitude)) {
        return error(line_, "'" + written + "' is not a DEC number");
      }
      if (magnitude > static_cast<unsigned long long>(1 << (kWordBits - 1))) {
        return error(line_, "value " + written + formatted(" does not fit in %d bits", kWordBits));
      }
      value = static_cast<int>((1 << kWordBits) - magnitude) & ((1 << kWordBits) - 1);
      return true;
    }
    return wordvalue(written, radix.base, false,
                     (std::string("a number of radix ") + radix.name).c_str(), value);
  }

  // An address in `radix`.
  bool mifaddress(const Radix& radix, unsigned long long depth, unsigned long long& address) {
    if (!mifspace()) return false;
    const std::string written = mifword();
    if (written.empty()) return unexpected("a MIF");
    if (!readnumber(written, radix.base, false, address)) {
      return error(line_, "'" + written + "' is not an address of radix " + radix.name);
    }
    if (address >= depth) {
      return error(line_,
                   formatted("address %s lies at or beyond DEPTH %llu", written.c_str(), depth));
    }
    return true;
  }

  bool mif() {
    image_.form = "MIF";
    unsigned long long depth = 0, width = 0;
    const Radix* address_radix = &kMifRadixes[3];  // HEX unless the header says otherwise
    const Radix* data_radix = &kMifRadixes[3];
    long long content = 0;
    while (content == 0) {
      if (!mifspace()) return false;
      if (end()) return error(lastline(), "the MIF ends before CONTENT BEGIN");
      const long long line = line_;
      const std::string keyword = upper(take(isword));
      if (keyword.empty()) return unexpected("a MIF");
      if (keyword == "CONTENT") {
        content = line;
        break;
      }
      if (!mifspace() || !expect('=', "a MIF", ("after " + keyword).c_str())) return false;
      if (keyword == "DEPTH" || keyword == "WIDTH") {
        unsigned long long& value = keyword == "DEPTH" ? depth : width;
        if (!mifnumber(keyword, value)) return false;
        if (keyword == "DEPTH" && value == 0) return error(line, "DEPTH 0 holds no word");
        if (keyword == "WIDTH" && value < static_cast<unsigned long long>(kWordBits)) {
          return error(line, formatted("WIDTH %llu is too narrow for ZRC words of %d bits", value,
                                       kWordBits));
        }
      } else if (keyword == "ADDRESS_RADIX" || keyword == "DATA_RADIX") {
        if (!mifspace()) return false;
        const std::string name = upper(take(isword));
        const Radix* radix = nullptr;
        for (const Radix& r : kMifRadixes) {
          if (name == r.name) radix = &r;
        }
        if (radix == nullptr) {
          return error(line_, keyword + " must be BIN, OCT, DEC, HEX or UNS, not '" + name + "'");
        }
        (keyword == "DATA_RADIX" ? data_radix : address_radix) = radix;
      } else {
        return error(line, "unknown MIF keyword '" + keyword + "'");
      }
      if (!mifspace() || !expect(';', "a MIF", ("after the value of " + keyword).c_str())) {
        return false;
      }
    }
    if (!mifspace()) return false;
    if (upper(take(isword)) != "BEGIN") return error(line_, "BEGIN expected after CONTENT");
    if (depth == 0) return error(content, "the MIF gives no DEPTH before CONTENT");
    if (width == 0) return error(content, "the MIF gives no WIDTH before CONTENT");

    while (true) {
      if (!mifspace()) return false;
      if (end()) return error(lastline(), "the MIF ends without END;");
      const long long line = line_;
      unsigned long long first = 0, last = 0;
      bool range = false;
      if (at() == '[') {
        next();
        range = true;
        if (!mifaddress(*address_radix, depth, first) || !mifspace() ||
            !expect('.', "a MIF", "in an address range") ||
            !expect('.', "a MIF", "in an address range") ||
            !mifaddress(*address_radix, depth, last) || !mifspace() ||
            !expect(']', "a MIF", "after an address range")) {
          return false;
        }
        if (last < first) {
          return error(line,
                       formatted("the address range [%llu..%llu] runs backwards", first, last));
        }
      } else {
        const size_t start = p_;
        if (upper(take(isword)) == "END") {
          if (!mifspace() || !expect(';', "a MIF", "after END")) return false;
          if (!mifspace()) return false;
          return end() || error(line_, "text after END; " + charname(at()));
        }
        p_ = start;
        if (!mifaddress(*address_radix, depth, first)) return false;
      }
      if (!mifspace() || !expect(':', "a MIF", "after the address")) return false;
      std::vector<int> values;
      while (true) {
        if (!mifspace()) return false;
        if (at() == ';') break;
        if (end()) return error(line, "the content line is not ended by ';'");
        int value = 0;
        if (!mifdata(*data_radix, value)) return false;
        values.push_back(value);
      }
      next();  // the ';'
      if (values.empty()) return error(line, "a content line without a value");
      if (!range) {
        last = first + values.size() - 1;
        if (last >= depth) {
          return error(line,
                       formatted("the values from address %llu run past DEPTH %llu", first, depth));
        }
      }
      if (!storerange(first, last, values, line)) return false;
      // orvix's statement comment: "-- <address>: ..." is not needed, the
      // line's address says which statement it is.
      if (!range && values.size() == 1 && first < static_cast<unsigned long long>(kMemoryWords)) {
        lineblanks();
        if (startswith("--")) {
          next();
          next();
          std::string comment = restofline();
          if (!comment.empty() && comment[0] == ' ') comment.erase(0, 1);
          image_.comments[first] = comment;
        }
      }
    }
  }

  // --- COE ----------------------------------------------------------------

  bool coe() {
    image_.form = "COE";
    int radix = 0;
    bool vector = false;
    long long last = 1;  // the line of the last word read
    while (true) {
      blanks();
      if (end()) break;
      if (at() == ';') {
        restofline();
        continue;
      }
      const long long line = line_;
      last = line;
      const std::string keyword = take(isword);
      if (keyword.empty()) return unexpected("a COE");
      const std::string name = upper(keyword);
      blanks();
      if (!expect('=', "a COE", ("after " + keyword).c_str())) return false;
      if (name == "MEMORY_INITIALIZATION_RADIX") {
        blanks();
        const std::string written = take(isword);
        radix = written == "2" ? 2 : written == "10" ? 10 : written == "16" ? 16 : 0;
        if (radix == 0) {
          return error(line_,
                       "memory_initialization_radix must be 2, 10 or 16, not '" + written + "'");
        }
        blanks();
        if (!expect(';', "a COE", "after the radix")) return false;
        restofline();
      } else if (name == "MEMORY_INITIALIZATION_VECTOR") {
        if (radix == 0) return error(line, "the vector comes before memory_initialization_radix");
        if (vector) return error(line, "a second memory_initialization_vector");
        vector = true;
        unsigned long long address = 0;
        const std::string what = formatted("a number of radix %d", radix);
        while (true) {
          while (!end() && (isblank(at()) || at() == ',')) next();
          if (end()) return error(line, "the vector is not ended by ';'");
          if (at() == ';') break;
          last = line_;
          const std::string written = take(isword);
          if (written.empty()) return unexpected("a COE");
          int value = 0;
          if (!wordvalue(written, radix, false, what.c_str(), value) ||
              !store(address++, value, line_)) {
            return false;
          }
        }
        restofline();
      } else {
        return error(line, "unknown COE keyword '" + keyword + "'");
      }
    }
    return vector || error(last, "no memory_initialization_vector: the file holds no words");
  }

  // --- Verilog memory files -------------------------------------------------

  bool readmem(Form form) {
    std::vector<Token> tokens;
    while (true) {
      blanks();
      if (end()) break;
      if (startswith("//")) {
        const long long line = line_;
        next();
        next();
        std::string comment = restofline();
        if (!comment.empty() && comment[0] == ' ') comment.erase(0, 1);
        if (!tokens.empty() && tokens.back().line == line && tokens.back().comment.empty()) {
          tokens.back().comment = comment;
        }
      } else if (startswith("/*")) {
        if (!blockcomment("/*", "*/")) return false;
      } else if (at() == '@' || isword(at())) {
        const long long line = line_;
        std::string word;
        if (at() == '@') {
          next();
          word = "@";
        }
        tokens.push_back({word + take(isword), line, ""});
      } else {
        return unexpected("a Verilog memory");
      }
    }
    if (form == FORM_READMEM) {
      form = FORM_READMEMB;
      for (const Token& token : tokens) {
        if (token.text[0] == '@') continue;
        int digits = 0;
        for (char c : token.text) digits += c == '0' || c == '1' ? 1 : c == '_' ? 0 : 100;
        if (digits != kWordBits) form = FORM_READMEMH;
      }
    }
    const bool binary = form == FORM_READMEMB;
    image_.form = binary ? "readmemb" : "readmemh";
    unsigned long long address = 0;
    for (const Token& token : tokens) {
      line_ = token.line;
      if (token.text[0] == '@') {
        if (!readnumber(token.text.substr(1), 16, true, address)) {
          return error(line_, "'" + token.text + "' is not an address (@ and hexadecimal digits)");
        }
        continue;
      }
      if (token.text.find_first_of("xXzZ") != std::string::npos) {
        return error(line_, "'" + token.text + "' has unknown bits (x or z)");
      }
      int value = 0;
      if (!wordvalue(token.text, binary ? 2 : 16, true,
                     binary ? "a binary word" : "a hexadecimal word", value) ||
          !store(address, value, line_)) {
        return false;
      }
      if (!token.comment.empty()) keepcomment(address, token.comment);
      address = std::min(address + 1, kNumberCap);
    }
    return true;
  }

  // --- Logisim --------------------------------------------------------------

  bool logisim() {
    restofline();  // "v2.0 raw"
    unsigned long long address = 0;
    while (true) {
      blanks();
      if (end()) return true;
      if (at() == '#') {
        const long long line = line_;
        next();
        std::string comment = restofline();
        if (!comment.empty() && comment[0] == ' ') comment.erase(0, 1);
        // The comment of a single word, on its line.
        if (line == last_word_line_ && !comment.empty() && address > 0) {
          keepcomment(address - 1, comment);
        }
        continue;
      }
      const std::string written = take([](char c) { return isword(c) || c == '*'; });
      if (written.empty()) return unexpected("a Logisim");
      const size_t star = written.find('*');
      unsigned long long count = 1;
      std::string value_text = written;
      if (star != std::string::npos) {
        value_text = written.substr(star + 1);
        if (!readnumber(written.substr(0, star), 10, false, count)) {
          return error(line_, "'" + written + "' is not a run: a decimal count, '*', a value");
        }
      }
      if (value_text.compare(0, 2, "0x") == 0 || value_text.compare(0, 2, "0X") == 0) {
        return error(line_, "'" + written + "' is not hexadecimal as Logisim writes it (no 0x)");
      }
      int value = 0;
      if (!wordvalue(value_text, 16, false, "a hexadecimal word", value)) return false;
      if (count > 0) {
        const unsigned long long last = std::min(address + count - 1, kNumberCap);
        if (!storerange(address, last, {value}, line_)) return false;
        address = std::min(last + 1, kNumberCap);
      }
      last_word_line_ = star == std::string::npos ? line_ : 0;
    }
  }

  const std::string& t_;
  MemoryImage& image_;
  size_t p_ = 0;
  long long line_ = 1;
  std::vector<long long> given_ = std::vector<long long>(kMemoryWords, 0);
  long long last_word_line_ = 0;  // Logisim: the line of the last single word
};

}  // namespace

MemoryImage readimage(const std::string& text) {
  MemoryImage image;
  Reader reader(text, image);
  image.read = reader.read();
  if (!image.read) {
    image.words.assign(kMemoryWords, 0);
    image.comments.assign(kMemoryWords, "");
  }
  return image;
}
