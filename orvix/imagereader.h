// Reading a memory image back: the text of a ZRC image in any form that
// orvix, FPGA tools and simulators write, recognised from its content and
// never from a file name, into the 32 words of memory.
//
// The forms: MIF (as its published grammar allows), COE, the memory files
// of Verilog's $readmemb and $readmemh, and Logisim's "v2.0 raw" images.
// orvix's own images are known by their first line; another Verilog memory
// file whose words are all ten binary digits is read by $readmemb, any
// other by $readmemh. In every form an address not given holds zero, and
// an image may hold more words than memory when every word from address 32
// on is zero. The statement comments orvix writes beside each word (in MIF,
// readmemb, readmemh and Logisim images) are kept by address, so that the
// disassembler can write the program as it was when they agree with the
// words.
//
// Every problem is a Diagnostic at its line of the image (1-based, as an
// editor counts lines); the first error ends the reading. Plain values; the
// function keeps no state and may run in several threads.

#ifndef ORVIX_IMAGEREADER_H_
#define ORVIX_IMAGEREADER_H_

#include <string>
#include <vector>

#include "orvix/diagnostics.h"

// What an image holds.
struct MemoryImage {
  bool read = false;                    // an image, every word of it a ZRC word
  std::string form;                     // "MIF", "COE", "readmemb", "readmemh" or "Logisim"
  std::vector<int> words;               // the 32 words, address 0 first
  std::vector<std::string> comments;    // by address: the statement orvix's comment shows, or ""
  std::vector<Diagnostic> diagnostics;  // warnings, then the error that ended the reading
  int warnings = 0;                     // diagnostics that are warnings
};

// Reads the image `text` (its bytes as stored, any line ends).
MemoryImage readimage(const std::string& text);

#endif  // ORVIX_IMAGEREADER_H_
