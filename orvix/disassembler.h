// The disassembler: a memory image read back (imagereader.h) and written as
// a ZRC source that assembles to the same 32 words.
//
// The source holds one statement per word, from address 0 to the last word
// that is not zero (at least one), each line ending in a comment with the
// address and the word in binary. A word is written as the instruction that
// encodes it (operand fields as unsigned numbers; inb, which shares its word
// with wdpcpu, says so in its comment), or as `.word` when no instruction
// does. Jumps inside the program reach labels named `a` and the target's
// two hexadecimal digits (`a07`); a jump past the last statement keeps its
// number. When the image carries orvix's own statement comments and the
// program they show assembles to the image's words, those statements are
// written instead, labels and mnemonics as they were.
//
// Pure functions; the values are plain and may be used from any thread.

#ifndef ORVIX_DISASSEMBLER_H_
#define ORVIX_DISASSEMBLER_H_

#include <string>

#include "orvix/imagereader.h"

// A disassembled image.
struct Disassembly {
  MemoryImage image;           // what was read, its diagnostics included
  std::string source;          // the source text, LF line ends; "" when the image was not read
  bool from_comments = false;  // the statements are those the image's comments show
};

// The source of the words of `image`, which was read, from the image named
// `name` (shown in the source's first line).
// REQUIRES: image.read
std::string sourceof(const MemoryImage& image, const std::string& name, bool* from_comments);

// Reads the image `text`, named `name`, and writes its source.
Disassembly disassemble(const std::string& text, const std::string& name);

#endif  // ORVIX_DISASSEMBLER_H_
