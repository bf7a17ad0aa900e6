// The memory image: the 32 words of an assembled program, and the text
// formats in which FPGA tools, simulators and VHDL designs read them.
//
// A writer sees the words and, for each statement, the text its comment
// shows; it knows nothing of how they were assembled. Every format holds all
// 32 words, address 0 first, the words past the program being zero words.
// Writers only make the text; writing a file is the caller's. The format
// table is the one list of formats: the command line, its help and the
// playground page all read it. Constant; may be read from any thread.

#ifndef ORVIX_IMAGE_H_
#define ORVIX_IMAGE_H_

#include <string>
#include <vector>

#include "orvix/assembly.h"

// The words of one assembled program.
struct Image {
  std::string path;                   // the output path as given on the command line
  std::vector<std::string> words;     // words[i]: ten '0'/'1' characters
  std::vector<std::string> comments;  // comments[i]: the statement words[i] encodes
};

// The image of the encoded statements of `a`, for the output path `path`.
Image imageof(const Assembly& a, const std::string& path);

// An image format: its name on the command line, its name in messages, the
// file name extension it is usually saved with, one line of help, and the
// function that makes the image text (with LF line ends).
struct ImageFormat {
  const char* name;
  const char* title;
  const char* extension;
  const char* help;
  std::string (*text)(const Image& image);
};

// Every format, the default (MIF) first.
extern const ImageFormat kFormats[];
extern const int kFormatCount;

// The format named `name`, or null.
const ImageFormat* findformat(const char* name);

// The names of every format, separated by ", ".
std::string formatnames();

// The warning line, with its newline, for writing a `format` image to
// `path` when the file name's extension (letter case aside) belongs to
// other formats: "<path>: warning: writing a MIF image to a file named
// '.coe'; give -f coe for a coefficient file". "" when the extension is
// unknown or one of `format`'s.
std::string namewarning(const std::string& path, const ImageFormat& format);

#endif  // ORVIX_IMAGE_H_
