#include "orvix/cmdline.h"

#include <cstdio>
#include <cstring>

#include "orvix/diagnostics.h"

#ifndef ORVIX_VERSION
#error "ORVIX_VERSION must be defined by the build (the project's version)"
#endif

namespace {

enum OptionId {
  OPT_OUTPUT,
  OPT_FORMAT,
  OPT_LISTING,
  OPT_QUIET,
  OPT_WARNINGS,
  OPT_STRICT,
  OPT_DISASSEMBLE,
  OPT_LSP,
  OPT_HELP,
  OPT_VERSION,
};

struct Option {
  char short_name;  // '\0' for a long name only
  const char* long_name;
  const char* argument;  // the argument's name in the help; null for a switch
  OptionId id;
  const char* help;  // one or more lines, separated by '\n'
};

const Option kOptions[] = {
    {'o', "output", "FILE", OPT_OUTPUT,
     "write the image to FILE, \"-\" for standard output\n"
     "(then only the source may be given besides)"},
    {'f', "format", "FORMAT", OPT_FORMAT, "the image format (see below); mif by default"},
    {'l', "listing", "FILE", OPT_LISTING,
     "also write a listing to FILE: each source line with\n"
     "its address and word, then the labels"},
    {'q', "quiet", nullptr, OPT_QUIET,
     "print no banner, progress or words; messages go to\n"
     "standard error"},
    {'W', "warnings", nullptr, OPT_WARNINGS,
     "report probable mistakes, each by its source line,\n"
     "and why a file cannot be read or written"},
    {'\0', "strict", nullptr, OPT_STRICT, "as -W, and fail the run when anything is reported"},
    {'d', "disassemble", nullptr, OPT_DISASSEMBLE,
     "read the input file as an image (MIF, COE, readmemb,\n"
     "readmemh, Logisim) and write a source for it to the\n"
     "output file, or to standard output"},
    {'\0', "lsp", nullptr, OPT_LSP,
     "serve editors as a language server on standard input\n"
     "and output (no source is given)"},
    {'h', "help", nullptr, OPT_HELP, "print this help and exit"},
    {'V', "version", nullptr, OPT_VERSION, "print the version and exit"},
};

// The output path as the command line gave it, or null.
const char* outputtext(const CommandLine& cl) { return cl.image_to_stdout ? "-" : cl.output; }

// Reads the option at argv[i] (which begins with '-' and is more than "-"),
// consuming its argument from argv[i + 1] when it needs one. Returns the
// action to take, ACTION_ASSEMBLE to go on.
CommandAction readoption(int argc, char** argv, int& i, CommandLine& cl, String& error) {
  const char* arg = argv[i++];
  const Option* option = nullptr;
  const char* value = nullptr;
  String name;  // the option as written, without a value after '='
  if (arg[1] == '-') {
    const char* equals = strchr(arg, '=');
    name = equals ? String(arg).left(static_cast<int>(equals - arg)) : String(arg);
    for (const Option& o : kOptions) {
      if (strcmp(name.cStr() + 2, o.long_name) == 0) option = &o;
    }
    if (option != nullptr && equals != nullptr) {
      if (option->argument == nullptr) {
        error.printf("option '%s' takes no argument", name.cStr());
        return ACTION_ERROR;
      }
      value = equals + 1;
    }
  } else {
    // One letter alone: "-odd.mif" is no "-o" with a value, but a word that
    // the user may well have meant as a file name.
    name = arg;
    for (const Option& o : kOptions) {
      if (o.short_name != '\0' && arg[1] == o.short_name && arg[2] == '\0') option = &o;
    }
  }
  if (option == nullptr) {
    error.printf("unknown option '%s'", name.cStr());
    return ACTION_ERROR;
  }
  if (option->argument != nullptr && value == nullptr && i < argc) value = argv[i++];
  if (option->argument != nullptr && (value == nullptr || *value == '\0')) {
    error.printf("option '%s' needs an argument", name.cStr());
    return ACTION_ERROR;
  }

  switch (option->id) {
    case OPT_OUTPUT:
      if (outputtext(cl) != nullptr) {
        error.printf("output path given twice ('%s' and '%s')", outputtext(cl), value);
        return ACTION_ERROR;
      }
      if (strcmp(value, "-") == 0) {
        // Standard output then carries the image alone.
        cl.image_to_stdout = true;
        cl.quiet = true;
      } else {
        cl.output = value;
      }
      break;
    case OPT_FORMAT:
      if (cl.assembly_only == nullptr) cl.assembly_only = option->long_name;
      cl.format = findformat(value);
      if (cl.format == nullptr) {
        error = formatted("unknown format '%s' (%s)", value, formatnames().c_str()).c_str();
        return ACTION_ERROR;
      }
      break;
    case OPT_LISTING:
      if (cl.assembly_only == nullptr) cl.assembly_only = option->long_name;
      if (cl.listing != nullptr) {
        error.printf("listing path given twice ('%s' and '%s')", cl.listing, value);
        return ACTION_ERROR;
      }
      cl.listing = value;
      break;
    case OPT_QUIET:
      cl.quiet = true;
      break;
    case OPT_WARNINGS:
      cl.warnings = true;
      break;
    case OPT_STRICT:
      cl.warnings = true;
      cl.strict = true;
      break;
    case OPT_DISASSEMBLE:
      cl.disassemble = true;
      break;
    case OPT_LSP:
      return ACTION_SERVE;
    case OPT_HELP:
      return ACTION_HELP;
    case OPT_VERSION:
      return ACTION_VERSION;
  }
  return ACTION_ASSEMBLE;
}

}  // namespace

std::string helptext() {
  std::string help =
      "usage: orvix [option ...] [--] <input file> [<output file>]\n\n"
      "Assembles a ZRC source into 32 words of 10 bits, lists them and, with an\n"
      "output file, writes the memory image. Options may stand before or after\n"
      "the files; \"--\" ends them, and a lone \"-\" is a file name.\n\n"
      "       orvix -d [option ...] [--] <image> [<source>]\n\n"
      "Reads a memory image back and writes a source that assembles to the\n"
      "same words, to <source> or, without it or for \"-\", standard output.\n\n"
      "Options:\n";
  for (const Option& o : kOptions) {
    const std::string argument = o.argument ? std::string(" ") + o.argument : "";
    std::string names = o.short_name != '\0'
                            ? formatted("-%c, --%s", o.short_name, o.long_name) + argument
                            : formatted("    --%s", o.long_name) + argument;
    for (const char* line = o.help; line != nullptr;) {
      const char* end = strchr(line, '\n');
      const int len = static_cast<int>(end != nullptr ? end - line : strlen(line));
      help += formatted("  %-22s %.*s\n", names.c_str(), len, line);
      names.clear();
      line = end != nullptr ? end + 1 : nullptr;
    }
  }
  help += "\nFormats:\n";
  for (int i = 0; i < kFormatCount; i++) {
    help += formatted("  %-9s %s\n", kFormats[i].name, kFormats[i].help);
  }
  help +=
      "\nExit status: 0 on success, 1 on any failure (an existing output file is\n"
      "then left as it was).\n";
  return help;
}

std::string banner() {
  return std::string("ZRC Assembler. orvix ") + ORVIX_VERSION +
         ", part of the orvix project.\n"
         "Supporting basic ZRC and parallel ZRC extensions.\n\n";
}

std::string versiontext() { return std::string("orvix ") + ORVIX_VERSION + "\n"; }

CommandAction readcommandline(int argc, char** argv, CommandLine& cl, String& error) {
  if (argc < 2) return ACTION_USAGE;
  CommandAction action = ACTION_ASSEMBLE;
  const char* plain[2] = {nullptr, nullptr};
  int nplain = 0;
  bool options_end = false;
  int i = 1;
  while (i < argc) {
    const char* arg = argv[i];
    if (options_end || arg[0] != '-' || arg[1] == '\0') {
      if (nplain < 2) plain[nplain] = arg;
      nplain++;
      i++;
    } else if (strcmp(arg, "--") == 0) {
      options_end = true;
      i++;
    } else {
      // Past the first deciding option only the settings still count.
      String later;
      CommandAction a = readoption(argc, argv, i, cl, action == ACTION_ASSEMBLE ? error : later);
      if (action == ACTION_ASSEMBLE) action = a;
    }
  }
  if (action != ACTION_ASSEMBLE) return action;

  if (nplain < 1) {
    error = "no input file";
    return ACTION_ERROR;
  }
  if (nplain > 2) {
    error = "too many arguments";
    return ACTION_ERROR;
  }
  cl.source = plain[0];
  if (nplain == 2) {
    if (outputtext(cl) != nullptr) {
      error.printf("output path given twice ('%s' and '%s')", outputtext(cl), plain[1]);
      return ACTION_ERROR;
    }
    cl.output = plain[1];
  }
  // Disassembling, the source goes to standard output unless a file is
  // named.
  if (cl.disassemble && (cl.output == nullptr || strcmp(cl.output, "-") == 0)) {
    cl.output = nullptr;
    cl.image_to_stdout = true;
    cl.quiet = true;
  }
  if (cl.disassemble && cl.assembly_only != nullptr) {
    error.printf("option '--%s' does not go with --disassemble", cl.assembly_only);
    return ACTION_ERROR;
  }
  return ACTION_ASSEMBLE;
}
