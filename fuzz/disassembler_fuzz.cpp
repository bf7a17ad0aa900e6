// Reads images back and disassembles them, in-process. The first byte of
// the input chooses what the rest is:
// - 32 words (two bytes each, the low 10 bits): the source written for them
//   assembles to the same words, written in any format orvix reads and read
//   back, and also given as the words alone;
// - an image text: reading it never crashes, every diagnostic names a line
//   of the text, and when it is read, its source assembles to the words
//   read;
// - a source: when it assembles, its MIF image read back and disassembled
//   assembles to the same MIF image, byte for byte.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "orvix/assembly.h"
#include "orvix/disassembler.h"
#include "orvix/image.h"

namespace {

// The 32 words the source `source` assembles to, zero words filling the
// rest; checks that it assembles without any error.
std::vector<int> Words(const std::string& source) {
  AssemblyOptions options;
  options.source = "q.asm";
  options.report = true;
  const Assembly a = assemble(source, options);
  CHECK(a.assembled());
  for (const Diagnostic& d : a.diagnostics) CHECK(d.severity == SEVERITY_WARNING);
  std::vector<int> words(kMemoryWords, 0);
  for (int i = 0; i < a.encoded(); i++)
    words[i] = static_cast<int>(strtol(a.statements[i].word.cStr(), nullptr, 2));
  return words;
}

// Every diagnostic of `image` names a line of `text`.
void CheckLines(const MemoryImage& image, const std::string& text) {
  const long long lines = 1 + std::count(text.begin(), text.end(), '\n');
  for (const Diagnostic& d : image.diagnostics) CHECK(d.line >= 1 && d.line <= lines);
  CHECK(image.read ==
        (image.diagnostics.empty() || image.diagnostics.back().severity == SEVERITY_WARNING));
}

// The words `words` round trip, as an image of every format orvix reads.
void RoundTripWords(const std::vector<int>& words) {
  MemoryImage image;
  image.read = true;
  image.form = "MIF";
  image.words = words;
  image.comments.assign(kMemoryWords, "");
  CHECK(Words(sourceof(image, "w", nullptr)) == words);

  Image written;
  written.path = "w";
  for (int w : words) written.words.push_back(bitify(w, kWordBits).cStr());
  written.comments.assign(kMemoryWords, "");
  for (int i = 0; i < kFormatCount; i++) {
    if (std::string(kFormats[i].name) == "vhdl") continue;  // not read back
    const Disassembly d = disassemble(kFormats[i].text(written), "w");
    CHECK(d.image.read);
    CHECK(d.image.words == words);
    CHECK(Words(d.source) == words);
  }
}

// A source that assembles gives the same MIF image after the round trip.
void RoundTripSource(const std::string& source) {
  AssemblyOptions options;
  options.source = "p.asm";
  const Assembly a = assemble(source, options);
  if (!a.assembled()) return;
  const std::string mif = kFormats[0].text(imageof(a, "p.mif"));
  const Disassembly d = disassemble(mif, "p.mif");
  CHECK(d.image.read);
  const Assembly again = assemble(d.source, options);
  CHECK(again.assembled());
  // A statement whose text holds a line end (a lone CR inside a source line)
  // cannot stand in its one-line comment: then only the words must agree.
  bool one_line = true;
  for (const Statement& s : a.statements) {
    one_line = one_line && std::string(s.comment.cStr()).find_first_of("\r\n") == std::string::npos;
  }
  if (one_line) {
    CHECK(d.from_comments);
    CHECK(kFormats[0].text(imageof(again, "p.mif")) == mif);
  } else {
    CHECK(Words(d.source) == d.image.words);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  switch (fdp.ConsumeIntegralInRange(0, 2)) {
    case 0: {
      std::vector<int> words(kMemoryWords, 0);
      for (int& w : words) w = fdp.ConsumeIntegral<uint16_t>() & ((1 << kWordBits) - 1);
      RoundTripWords(words);
      break;
    }
    case 1: {
      const std::string text = fdp.ConsumeRemainingBytesAsString();
      const Disassembly d = disassemble(text, "i");
      CheckLines(d.image, text);
      if (d.image.read) CHECK(Words(d.source) == d.image.words);
      break;
    }
    case 2:
      RoundTripSource(fdp.ConsumeRemainingBytesAsString());
      break;
  }
  return 0;
}
