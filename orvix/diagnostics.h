// Diagnostics: what the assembler knows of the source beyond the statement
// records, and the warnings it reports by source line.
//
// Without `report` nothing is printed and the run is exactly the plain
// assembly; warnings are counted either way, which is what a strict run
// fails on. A located line reads "<source>:<line>: warning: <text>" (or
// "error"), on standard output like every other message. One object serves
// one run; not thread-safe.

#ifndef ORVIX_DIAGNOSTICS_H_
#define ORVIX_DIAGNOSTICS_H_

#include <cstdarg>

#include "libcontainer/libcontainer.h"
#include "orvix/image.h"

#if defined(__GNUC__)
#define ORVIX_PRINTF_FORMAT(text, first) __attribute__((format(printf, text, first)))
#else
#define ORVIX_PRINTF_FORMAT(text, first)
#endif

struct Diagnostics {
  const char* source = "";       // the source path as given
  bool report = false;           // print warnings and located errors
  int warnings = 0;              // problems found so far
  long line[kMemoryWords] = {};  // 1-based source line of each statement
  String operand[kMemoryWords];  // each statement's operand as written

  // Counts one problem on source line `at` and, when reporting, prints
  // "<source>:<at>: warning: <text>".
  void warn(long at, const char* format, ...) ORVIX_PRINTF_FORMAT(3, 4);
  // When reporting, prints "<source>:<at>: error: <text>".
  void error(long at, const char* format, ...) ORVIX_PRINTF_FORMAT(3, 4);

 private:
  void print(long at, const char* kind, const char* format, va_list args);
};

#endif  // ORVIX_DIAGNOSTICS_H_
