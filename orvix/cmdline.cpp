#include "orvix/cmdline.h"

#include <cstdio>
#include <cstring>

namespace {

enum OptionId { OPT_OUTPUT, OPT_FORMAT, OPT_WARNINGS, OPT_STRICT, OPT_HELP, OPT_VERSION };

struct Option {
  char short_name;  // '\0' for a long name only
  const char* long_name;
  const char* argument;  // the argument's name in the help; null for a switch
  OptionId id;
  const char* help;
};

const Option kOptions[] = {
    {'o', "output", "FILE", OPT_OUTPUT,
     "write the image to FILE (then only the source may follow)"},
    {'f', "format", "FORMAT", OPT_FORMAT, "the image format (see below); mif by default"},
    {'W', "warnings", nullptr, OPT_WARNINGS, "report probable mistakes, each by its source line"},
    {'\0', "strict", nullptr, OPT_STRICT, "as -W, and fail the run when anything is reported"},
    {'h', "help", nullptr, OPT_HELP, "print this help and exit"},
    {'V', "version", nullptr, OPT_VERSION, "print the version and exit"},
};

// What each format holds, for the help.
const char* const kFormatHelp[] = {
    "mif       Memory Initialization File, one commented line per address",
    "readmemb  for Verilog $readmemb: one 10-digit binary word per line",
    "readmemh  for Verilog $readmemh: one 3-digit hexadecimal word per line",
    "coe       coefficient file, radix 2, the 32 words separated by commas",
};

// Reads the option at argv[i] (which begins with '-'), consuming its
// argument from argv[i + 1] when it needs one. Returns the action to take
// now, ACTION_ASSEMBLE to go on.
CommandAction readoption(int argc, char** argv, int& i, CommandLine& cl, String& error) {
  const char* arg = argv[i++];
  const Option* option = nullptr;
  const char* value = nullptr;
  String name;  // the option as written, without an attached value
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
    name = String(arg).left(2);
    for (const Option& o : kOptions) {
      if (o.short_name != '\0' && arg[1] == o.short_name) option = &o;
    }
    if (option != nullptr && arg[2] != '\0') {
      if (option->argument == nullptr) option = nullptr;  // "-Wx" is no option of ours
      value = arg + 2;
    }
    if (option == nullptr) name = arg;
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
      if (cl.output != nullptr) {
        error.printf("output path given twice ('%s' and '%s')", cl.output, value);
        return ACTION_ERROR;
      }
      cl.output = value;
      break;
    case OPT_FORMAT:
      cl.format = findformat(value);
      if (cl.format == nullptr) {
        error.printf("unknown format '%s' (mif, readmemb, readmemh, coe)", value);
        return ACTION_ERROR;
      }
      break;
    case OPT_WARNINGS:
      cl.warnings = true;
      break;
    case OPT_STRICT:
      cl.warnings = true;
      cl.strict = true;
      break;
    case OPT_HELP:
      return ACTION_HELP;
    case OPT_VERSION:
      return ACTION_VERSION;
  }
  return ACTION_ASSEMBLE;
}

}  // namespace

void printhelp() {
  printf("usage: orvix [option ...] [--] <input file> [<output file>]\n\n");
  printf("Assembles a ZRC source into 32 words of 10 bits, lists them and, with an\n");
  printf("output file, writes the memory image. Options come before the input file;\n");
  printf("\"--\" ends them.\n\nOptions:\n");
  for (const Option& o : kOptions) {
    String names;
    if (o.short_name != '\0') {
      names.printf("-%c, --%s%s%s", o.short_name, o.long_name, o.argument ? " " : "",
                   o.argument ? o.argument : "");
    } else {
      names.printf("    --%s%s%s", o.long_name, o.argument ? " " : "",
                   o.argument ? o.argument : "");
    }
    printf("  %-22s %s\n", names.cStr(), o.help);
  }
  printf("\nFormats:\n");
  for (const char* line : kFormatHelp) printf("  %s\n", line);
  printf("\nExit status: 0 on success, 1 on any failure (an existing output file is\n");
  printf("then left as it was).\n");
}

CommandAction readcommandline(int argc, char** argv, CommandLine& cl, String& error) {
  int i = 1;
  bool options = false;
  while (i < argc && argv[i][0] == '-' && argv[i][1] != '\0') {
    options = true;
    if (strcmp(argv[i], "--") == 0) {
      i++;
      break;
    }
    CommandAction action = readoption(argc, argv, i, cl, error);
    if (action != ACTION_ASSEMBLE) return action;
  }

  const int rest = argc - i;
  if (!options) {
    if (rest < 1) return ACTION_USAGE;
    cl.source = argv[i];
    if (rest == 2) cl.output = argv[i + 1];
    return ACTION_ASSEMBLE;
  }
  if (rest < 1) {
    error = "no input file";
    return ACTION_ERROR;
  }
  if (rest > 2) {
    error = "too many arguments";
    return ACTION_ERROR;
  }
  cl.source = argv[i];
  if (rest == 2) {
    if (cl.output != nullptr) {
      error.printf("output path given twice ('%s' and '%s')", cl.output, argv[i + 1]);
      return ACTION_ERROR;
    }
    cl.output = argv[i + 1];
  }
  return ACTION_ASSEMBLE;
}
