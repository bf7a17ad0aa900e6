// The assembler's entry points for the playground page, compiled to
// WebAssembly. The page writes the source into the module's in-memory file
// system, runs the assembler through these functions exactly as the command
// line would, and reads the console text (standard output) and the image
// file back. The functions are called from JavaScript by their C names; one
// call runs at a time, as the page runs in one thread.

#include <sys/stat.h>

#include "libcontainer/libcontainer.h"
#include "orvix/diagnostics.h"
#include "orvix/image.h"
#include "orvix/orvix.h"

namespace {

// The rows of the last listing: statement i has address i.
struct Listing {
  int rows = 0;
  String words[kMemoryWords];     // ten '0'/'1' characters each
  String comments[kMemoryWords];  // the statement as the MIF image comments it
  long lines[kMemoryWords] = {};  // the 1-based source line of the statement
};

Listing listing;

// A format that keeps the image's words and comments instead of printing
// them, so the listing shows what the writers of every format are given.
void keeplisting(FILE*, const Image& image) {
  listing.rows = image.nwords;
  for (int i = 0; i < image.nwords; i++) {
    listing.words[i] = image.words[i];
    listing.comments[i] = image.comments[i];
  }
}

const ImageFormat kListingFormat = {"listing", "listing", keeplisting};

// A device, written in place: the listing format needs a path to write to.
const char kNowhere[] = "/dev/null";

}  // namespace

extern "C" {

// Runs `orvix -W -f <format> <source> <output>` and returns its exit status.
// Files are made as a shell with umask 022 would, readable by the page.
int orvix_web_run(const char* format, const char* source, const char* output) {
  umask(022);
  const char* argv[] = {"orvix", "-W", "-f", format, source, output, nullptr};
  return finish(run(6, const_cast<char**>(argv)));
}

// Loads and encodes `source` again, without warnings, and keeps one row per
// statement that encodes: all of them, or those before an unknown mnemonic.
// Returns the number of rows; what it prints is not part of any run.
int orvix_web_listing(const char* source) {
  instruction cmds[kMemoryWords];
  Diagnostics diag;
  listing = Listing();
  int count = loadsource(cmds, source, diag);
  // An unknown mnemonic stops the encoder before any word is written; the
  // words before it are the same in a program that ends just before it.
  for (int n = count; n > 0; n--) {
    if (writeimage(cmds, n, kNowhere, kListingFormat, diag, false)) break;
  }
  for (int i = 0; i < listing.rows; i++) listing.lines[i] = diag.line[i];
  fflush(stdout);
  return listing.rows;
}

// The word of listing row `i`, ten '0'/'1' characters.
// REQUIRES: 0 <= i < the row count of the last listing (likewise below)
const char* orvix_web_word(int i) { return listing.words[i].cStr(); }

// The statement of listing row `i`, as the MIF image comments it.
const char* orvix_web_statement(int i) { return listing.comments[i].cStr(); }

// The source line of listing row `i`.
long orvix_web_line(int i) { return listing.lines[i]; }

}  // extern "C"
