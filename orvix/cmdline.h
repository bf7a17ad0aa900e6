// The command line: the option table, reading argv into what the run should
// do, and the help that describes every option and format.
//
//   orvix [option ...] [--] <input file> [<output file>]
//
// A command line without options means what it always has: the source and,
// when exactly one more argument follows, the output path. Reading prints
// nothing; the driver prints what a usage error says. The tables are
// constant; the functions keep no state.

#ifndef ORVIX_CMDLINE_H_
#define ORVIX_CMDLINE_H_

#include "libcontainer/libcontainer.h"
#include "orvix/image.h"

// What the command line asks for.
struct CommandLine {
  const char* source = nullptr;
  const char* output = nullptr;
  const ImageFormat* format = &kFormats[0];
  bool warnings = false;
  bool strict = false;
};

enum CommandAction {
  ACTION_ASSEMBLE,  // load `source`, write `output`
  ACTION_USAGE,     // no argument at all: the plain usage line
  ACTION_ERROR,     // a usage error, described in `error`
  ACTION_HELP,
  ACTION_VERSION,
};

// Reads the command line `argv` into `cl`. Options count only before the
// first argument that does not begin with '-' (a lone "-" is no option), and
// "--" ends them. Returns what to do; for ACTION_ERROR, `error` says what is
// wrong. The texts in `cl` point into `argv`.
CommandAction readcommandline(int argc, char** argv, CommandLine& cl, String& error);

// Prints the usage of every option and format on standard output.
void printhelp();

#endif  // ORVIX_CMDLINE_H_
