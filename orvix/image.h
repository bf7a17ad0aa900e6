// The memory image: the 32 words of an assembled program, and the four text
// formats in which FPGA tools and simulators read them.
//
// A writer sees the words and, for each statement, the text its comment
// shows; it knows nothing of how they were assembled. Every format holds all
// 32 words, address 0 first, the words past the program being zero words.
// Writers only format into a stream they are given; opening, checking and
// replacing the file is the caller's (platform.h). The format table is
// constant and may be read from any thread.

#ifndef ORVIX_IMAGE_H_
#define ORVIX_IMAGE_H_

#include <cstdio>

#include "libcontainer/libcontainer.h"

// Number of words in ZRC memory, and so of statements in one program.
const int kMemoryWords = 32;
// Bits of one ZRC word.
const int kWordBits = 10;

// The words of one assembled program. Everything pointed to stays the
// caller's and must outlive the writing.
struct Image {
  const char* path;        // the output path as given on the command line
  const String* words;     // words[0..nwords-1], ten '0'/'1' characters each
  const String* comments;  // comments[i]: the statement words[i] encodes, as written
  int nwords;              // words of the program; the rest of memory is zero
};

// An image format: its name on the command line, its name in messages, and
// the function that formats the image text into an open stream.
struct ImageFormat {
  const char* name;
  const char* title;
  void (*write)(FILE* fp, const Image& image);
};

// Every format, the default (MIF) first.
extern const ImageFormat kFormats[];
extern const int kFormatCount;

// The format named `name`, or null.
const ImageFormat* findformat(const char* name);

#endif  // ORVIX_IMAGE_H_
