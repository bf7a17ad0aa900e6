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
// Lines end in LF; the caller writes them in the platform's text mode. Pure
// functions; safe from any thread.

#ifndef ORVIX_LISTING_H_
#define ORVIX_LISTING_H_

#include <string>

#include "orvix/assembly.h"

// `text` with its tabs expanded to stops every 8 columns.
std::string expandtabs(const std::string& text);

// The listing of the assembled `a`, whose source lines were kept.
// REQUIRES: a.assembled(), and every statement's line is one of a.lines
std::string listingtext(const Assembly& a);

#endif  // ORVIX_LISTING_H_
