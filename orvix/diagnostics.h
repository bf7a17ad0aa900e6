// Diagnostics: what the assembler knows of the source beyond the statement
// records, the warnings it reports by source line, and where a run's console
// text goes.
//
// Without `report` no located line is printed and the run is exactly the
// plain assembly; warnings are counted either way, which is what a strict run
// fails on. A located line reads "<source>:<line>: warning: <text>" (or
// "error"). Every message goes to standard output, or, in a quiet run, to
// standard error, where progress lines and words are not printed at all. One
// object serves one run; not thread-safe.

#ifndef ORVIX_DIAGNOSTICS_H_
#define ORVIX_DIAGNOSTICS_H_

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "libcontainer/libcontainer.h"
#include "orvix/image.h"

#if defined(__GNUC__)
#define ORVIX_PRINTF_FORMAT(text, first) __attribute__((format(printf, text, first)))
#else
#define ORVIX_PRINTF_FORMAT(text, first)
#endif

struct Diagnostics {
  const char* source = "";        // the source path as given
  bool report = false;            // print warnings, located errors and the system's reasons
  bool quiet = false;             // no progress lines; messages on standard error
  int warnings = 0;               // problems found so far
  long line[kMemoryWords] = {};   // 1-based source line of each statement
  String operand[kMemoryWords];   // each statement's operand as written
  bool keep_text = false;         // have the loader keep `text`
  std::vector<std::string> text;  // every source line as written, without its line end

  // Counts one problem on source line `at` and, when reporting, prints
  // "<source>:<at>: warning: <text>".
  void warn(long at, const char* format, ...) ORVIX_PRINTF_FORMAT(3, 4);
  // When reporting, prints "<source>:<at>: error: <text>".
  void error(long at, const char* format, ...) ORVIX_PRINTF_FORMAT(3, 4);
  // When reporting, prints "<path>: error: <what>: <the system's text for
  // the error number `err`>".
  void systemerror(const char* path, const char* what, int err);
  // Prints a message line (a warning or error that is not located).
  void message(const char* format, ...) ORVIX_PRINTF_FORMAT(2, 3);
  // Prints a progress line, or a word of the listing, unless quiet.
  void progress(const char* format, ...) ORVIX_PRINTF_FORMAT(2, 3);
  // The stream messages go to.
  FILE* messages() const { return quiet ? stderr : stdout; }

 private:
  void print(long at, const char* kind, const char* format, va_list args);
};

#endif  // ORVIX_DIAGNOSTICS_H_
