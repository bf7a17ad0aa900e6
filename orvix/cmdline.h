// The command line: the option table, reading argv into what the run should
// do, and what the program says of itself: the banner, the help that
// describes every option and format, the version.
//
//   orvix [option ...] [--] <input file> [<output file>]
//   orvix -d [option ...] [--] <image> [<source>]
//
// An argument that begins with '-' and is more than "-" is an option wherever
// it stands, until "--"; an option's argument is the next word (or, for a
// long name, the text after '='), whatever it looks like. The other
// arguments are the source and, when present, the output path. A command line
// of one or two such arguments and no option means what it always has.
// Nothing here prints; the driver prints what a usage error says. The
// tables are constant; the functions keep no state.

#ifndef ORVIX_CMDLINE_H_
#define ORVIX_CMDLINE_H_

#include <string>

#include "libcontainer/libcontainer.h"
#include "orvix/image.h"

// What the command line asks for.
struct CommandLine {
  const char* source = nullptr;
  const char* output = nullptr;   // the image file; null for none
  bool image_to_stdout = false;   // "-o -": the image goes to standard output; quiet
  const char* listing = nullptr;  // the listing file; null for none
  const ImageFormat* format = &kFormats[0];
  bool warnings = false;
  bool strict = false;
  bool quiet = false;  // no banner, progress or words; messages on standard error
  // -d: `source` is an image and `output` the source to write (on standard
  // output, quiet, when not given or "-").
  bool disassemble = false;
  const char* assembly_only = nullptr;  // long name of the first option only assembling takes
};

enum CommandAction {
  ACTION_ASSEMBLE,  // load `source`, write what `cl` asks for
  ACTION_USAGE,     // no argument at all: the plain usage line
  ACTION_ERROR,     // a usage error, described in `error`
  ACTION_HELP,
  ACTION_VERSION,
  ACTION_SERVE,  // --lsp: the language server, until the editor ends it
};

// Reads the command line `argv` into `cl`. The first usage error, --help,
// --version or --lsp met from the left decides the action; the options after it are
// still read, so that a quiet run says its usage error quietly. Returns what
// to do; for ACTION_ERROR, `error` says what is wrong. The texts in `cl`
// point into `argv`.
CommandAction readcommandline(int argc, char** argv, CommandLine& cl, String& error);

// The usage of every option and format, as --help prints it.
std::string helptext();

// The two banner lines every run but --help and --version begins with,
// the second followed by an empty line.
std::string banner();

// What --version prints: "orvix X.Y.Z\n".
std::string versiontext();

#endif  // ORVIX_CMDLINE_H_
