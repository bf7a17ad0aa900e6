#include "orvix/driver.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "orvix/assembly.h"
#include "orvix/cmdline.h"
#include "orvix/disassembler.h"
#include "orvix/image.h"
#include "orvix/languageserver.h"
#include "orvix/listing.h"
#include "orvix/platform.h"

namespace {

const char kGenerationFailed[] = "orvix: Error generating machine code.\n";

// Prints a run's console lines: progress lines on standard output unless
// the run is quiet, messages on standard output or, quiet, standard error.
class Console {
 public:
  explicit Console(bool quiet) : quiet_(quiet) {}

  void print(const ConsoleLine& line) {
    if (line.channel == CONSOLE_PROGRESS) {
      if (!quiet_) printtext(stdout, line.text);
    } else {
      message(line.text);
    }
  }
  void progress(const std::string& text) { print({CONSOLE_PROGRESS, text}); }
  void message(const std::string& text) { printtext(quiet_ ? stderr : stdout, text); }

 private:
  bool quiet_;
};

// True when `a` and `b` name one file: the same text, or one file however
// spelt, existing or not.
bool samepath(const char* a, const char* b) { return strcmp(a, b) == 0 || samefile(a, b); }

// The line that refuses the command line `cl` because one of the files it
// writes is another of its files, or "" when each names a file of its own.
std::string outputclash(const CommandLine& cl) {
  // Writing the image or the listing over the source would lose the program,
  // and the listing over the image the image.
  if (cl.output != nullptr && samepath(cl.source, cl.output)) {
    return std::string("orvix: Output file ") + cl.output + " is the source file.\n";
  }
  if (cl.listing != nullptr && samepath(cl.source, cl.listing)) {
    return std::string("orvix: Listing file ") + cl.listing + " is the source file.\n";
  }
  if (cl.listing != nullptr && cl.output != nullptr && samepath(cl.output, cl.listing)) {
    return std::string("orvix: Listing file ") + cl.listing + " is the output file.\n";
  }
  return "";
}

// "<path>: error: <what>: <the system's reason>", when the run reports.
void systemerror(Console& console, const CommandLine& cl, const char* path, const char* what,
                 int err) {
  if (cl.warnings) {
    console.message(std::string(path) + ": error: " + what + ": " + strerror(err) + "\n");
  }
}

// Writes `text` to the file `path` whole; on failure says so, with the
// system's reason when the run reports, and the lines `failed`.
bool writefile(Console& console, const CommandLine& cl, const char* path, const std::string& text,
               const std::string& failed) {
  if (replacefile(path, text)) return true;
  systemerror(console, cl, path, "cannot write", errno);
  console.message(failed);
  return false;
}

// An image file is never this large; reading stops here rather than hold
// whatever endless stream was named.
const size_t kImageLimit = 64 << 20;

// Reads the image file `path` into `text`; on failure says why, at the line
// where reading stopped.
bool readimagefile(Console& console, const char* path, std::string& text) {
  FILE* fp = openfile(path, "rb");
  if (fp == nullptr) {
    console.message(std::string(path) + ": error: cannot open: " + strerror(errno) + "\n");
    return false;
  }
  char buffer[65536];
  size_t n = 0;
  while (text.size() <= kImageLimit && (n = fread(buffer, 1, sizeof buffer, fp)) > 0) {
    text.append(buffer, n);
  }
  const bool failed = ferror(fp) != 0;
  const int err = errno != 0 ? errno : EIO;
  fclose(fp);
  const long long line = 1 + static_cast<long long>(std::count(text.begin(), text.end(), '\n'));
  if (failed || text.size() > kImageLimit) {
    const std::string why = failed ? std::string("cannot read: ") + strerror(err)
                                   : "the file is over 64 MiB, no image of 32 words";
    console.message(std::string(path) + ":" + std::to_string(line) + ": error: " + why + "\n");
    return false;
  }
  return true;
}

// The run of `orvix -d`: reads the image `cl.source` and writes its source
// to `cl.output` or standard output.
int disassemblerun(const CommandLine& cl, Console& console) {
  const std::string failed = std::string("orvix: Error disassembling image ") + cl.source + ".\n";
  if (cl.output != nullptr && samepath(cl.source, cl.output)) {
    console.message(std::string("orvix: Source file ") + cl.output + " is the image file.\n");
    return 1;
  }
  console.progress(std::string("Disassembling image '") + cl.source + "'...\n");
  std::string text;
  if (!readimagefile(console, cl.source, text)) {
    console.message(failed);
    return 1;
  }
  const Disassembly d = disassemble(text, cl.source);
  for (const Diagnostic& diagnostic : d.image.diagnostics) {
    if (diagnostic.severity == SEVERITY_ERROR || cl.warnings) {
      console.message(locatedline(cl.source, diagnostic));
    }
  }
  if (!d.image.read || (cl.strict && d.image.warnings > 0)) {
    console.message(failed);
    return 1;
  }
  if (cl.image_to_stdout) {
    fwrite(d.source.data(), 1, d.source.size(), stdout);
    return 0;
  }
  return writefile(console, cl, cl.output, d.source,
                   std::string("Cannot write source '") + cl.output + "', aborting..\n" + failed)
             ? 0
             : 1;
}

}  // namespace

int run(int argc, char** argv) {
  CommandLine cl;
  String error;
  const CommandAction action = readcommandline(argc, argv, cl, error);
  if (action == ACTION_HELP) {
    printtext(stdout, helptext());
    return 0;
  }
  if (action == ACTION_VERSION) {
    printtext(stdout, versiontext());
    return 0;
  }
  if (action == ACTION_SERVE) {
    // The protocol counts bytes: no line end may be translated.
    setbinarystdio(true);
    const int status = serve(stdin, stdout, stderr);
    setbinarystdio(false);
    return status;
  }

  Console console(cl.quiet);
  console.progress(banner());
  if (action == ACTION_USAGE) {
    printtext(stdout, "usage: orvix <input file> [<output file>]\n");
    return 1;
  }
  if (action == ACTION_ERROR) {
    console.message(std::string("orvix: ") + error.cStr() + "\n");
    console.message("Try 'orvix --help' for more information.\n");
    return 1;
  }
  if (cl.disassemble) return disassemblerun(cl, console);
  const std::string refusal = outputclash(cl);
  if (!refusal.empty()) {
    console.message(refusal);
    return 1;
  }

  // The name that says another format.
  const std::string misnamed =
      cl.warnings && cl.output != nullptr ? namewarning(cl.output, *cl.format) : "";
  console.message(misnamed);
  // Read as bytes, so that lines are counted alike on every system; where
  // text mode would end the source at a Ctrl-Z byte, the assembly does.
  FILE* fp = openfile(cl.source, "rb");
  if (fp == nullptr) {
    systemerror(console, cl, cl.source, "cannot open", errno);
    console.message(std::string("orvix: Error reading source file ") + cl.source + ".\n");
    return 1;
  }
  AssemblyOptions options;
  options.source = cl.source;
  if (cl.output != nullptr) options.output = cl.output;
  options.format_title = cl.format->title;
  options.report = cl.warnings;
  options.strict = cl.strict;
  options.keep_lines = cl.listing != nullptr;
  options.ctrlz_ends = kTextEndsAtCtrlZ;
  const Assembly assembly = assemble(fp, options);
  fclose(fp);
  for (const ConsoleLine& line : assembly.console) console.print(line);
  if (!assembly.assembled()) return 1;
  if (cl.strict && !misnamed.empty()) {
    console.message(kGenerationFailed);
    return 1;
  }

  // The listing comes before an image written to the console (/dev/stdout).
  fflush(stdout);
  const Image image = imageof(assembly, options.output);
  const std::string title = cl.format->title;
  if (cl.output != nullptr && !writefile(console, cl, cl.output, cl.format->text(image),
                                         "Cannot write " + title + " output '" + cl.output +
                                             "', aborting..\n" + kGenerationFailed)) {
    return 1;
  }
  if (cl.listing != nullptr && !writefile(console, cl, cl.listing, listingtext(assembly),
                                          std::string("Cannot write listing '") + cl.listing +
                                              "', aborting..\n" + kGenerationFailed)) {
    return 1;
  }
  // Last of all, so that standard output carries the image alone.
  if (cl.image_to_stdout) {
    printtext(stdout, cl.format->text(image));
  }
  return 0;
}

int finish(int status) {
  if (fflush(stdout) != 0 || ferror(stdout)) {
    printtext(stderr, "orvix: Error writing to standard output.\n");
    return 1;
  }
  return status;
}
