// Diagnostics: the problems the assembler finds in a source, each at its
// place, and the console lines that tell them.
//
// A located problem reads "<source>:<line>: warning: <text>" (or "error")
// on the console, where <line> is the 1-based number of its source line as
// an editor counts lines. Plain values; safe from any thread.

#ifndef ORVIX_DIAGNOSTICS_H_
#define ORVIX_DIAGNOSTICS_H_

#include <string>

#include "orvix/statement.h"

#if defined(__GNUC__)
#define ORVIX_PRINTF_FORMAT(text, first) __attribute__((format(printf, text, first)))
#else
#define ORVIX_PRINTF_FORMAT(text, first)
#endif

enum Severity {
  SEVERITY_WARNING,  // the assembly goes on; --strict fails it
  SEVERITY_ERROR,    // the assembly fails
};

// One problem in a source.
struct Diagnostic {
  long long line = 0;  // 1-based source line; 0 when it concerns no line
  Span range;          // the part of the line concerned; empty for the whole line
  Severity severity = SEVERITY_WARNING;
  std::string text;        // what is wrong and what was done, a suggestion included
  std::string suggestion;  // the name suggested in `text`; "" for none
};

// The console line of `d` in the source named `source`, with its newline:
// "<source>:<line>: warning: <text>\n", or "<source>: error: <text>\n" for a
// problem of no line.
std::string locatedline(const std::string& source, const Diagnostic& d);

// printf into a std::string.
std::string formatted(const char* format, ...) ORVIX_PRINTF_FORMAT(1, 2);

#endif  // ORVIX_DIAGNOSTICS_H_
