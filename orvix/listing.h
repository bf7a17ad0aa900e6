// The listing: what every source line became, so that a word seen on the
// board can be traced back to the line that made it.
//
// One line per source line, in source order: the address (two hexadecimal
// digits), the word in binary and in three hexadecimal digits of each
// statement the line holds (an over-long line holds several, separated by
// two blanks), or blanks in their place; then the line number, right-aligned
// in five columns, and the line as written, its tabs expanded to stops every
// 8 columns counted from the start of the source line (a UTF-8 character
// counts as one column). Then, after an empty line and "Labels:", every
// label in source order with its address and the number of the line that
// defines it; a later definition of a label is marked, as jumps never reach
// it:
//
//   00 1000000101 205     1  start:  load 5
//                         2  ; wait
//   01 0001000000 040     3          j start
//
//   Labels:
//   00     1  start
//
// Lines end as the stream's text mode ends them. Not thread-safe (it writes
// to a stream).

#ifndef ORVIX_LISTING_H_
#define ORVIX_LISTING_H_

#include <cstdio>
#include <string>

#include "libcontainer/libcontainer.h"
#include "orvix/diagnostics.h"
#include "orvix/orvix.h"

// `text` with its tabs expanded to stops every 8 columns.
std::string expandtabs(const std::string& text);

// Writes the listing of cmds[0..ncmds-1], whose words are words[0..ncmds-1],
// to `fp`. The source lines and the line of each statement are those `diag`
// kept while loading.
// REQUIRES: ncmds <= 32, and every statement's line is one of diag.text
void writelisting(FILE* fp, instruction* cmds, int ncmds, const String* words,
                  const Diagnostics& diag);

#endif  // ORVIX_LISTING_H_
