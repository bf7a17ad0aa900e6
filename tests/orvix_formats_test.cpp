// End-to-end runs of orvix with its options and image formats: usage errors,
// help and version, the forms of the output and format options, the command
// line without options, the exact bytes of every format, the failures that
// must leave an existing image whole, and real readers of the images (Verilog
// simulators, a synthesis tool, a MIF converter and a COE parser written from
// the COE grammar) loading the examples and random programs.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/orvix_run.h"

namespace fs = std::filesystem;

// Names a case of every format by the format.
void PrintTo(const ImageFormat& f, std::ostream* os) { *os << f.name; }

namespace {

using namespace orvix_test;

const std::string kProcessing = kBanner + "Processing ZRC assembly source file 'in.asm'...\n";
const std::string kGenFailed = "orvix: Error generating machine code.\n";
const std::string kTryHelp = "Try 'orvix --help' for more information.\n";

// The formats as the program has them: names on the command line and in
// messages.
using Format = ImageFormat;
const Format& kMif = *findformat("mif");
const Format& kReadmemb = *findformat("readmemb");
const auto kAllFormats = testing::ValuesIn(kFormats, kFormats + kFormatCount);

// One statement of a program as its image shows it.
struct Word {
  const char* bin;      // the ten binary digits
  const char* comment;  // the statement as the image comment shows it
};

// The whole image of `format` that orvix writes to `path` for `words`, zero
// words filling the rest of memory.
std::string Image(const Format& format, const std::string& path, const std::vector<Word>& words) {
  std::vector<std::pair<std::string, std::string>> statements;
  for (const Word& w : words) statements.emplace_back(w.bin, w.comment);
  return ImageText(format, path, statements);
}

// A program with labels, backward and forward jumps, a label as data
// operand, negative numbers, the two mnemonics that share a word, and
// addresses past 9; its words worked out by hand.
const char kProgram[] =
    "start: load -5\n"
    "loop: wdpcpu\n"
    "  inb ; same word as wdpcpu\n"
    "jc loop\n"
    "j fwd\n"
    "add x\n"
    "fwd: outbpb 9\n"
    "j -1\n"
    "sto 31\n"
    "lea 32\n"
    "swap\n"
    "last: jmq start\n";

const std::vector<Word> kWords = {
    {"1011111011", "start:\t\tload -5"}, {"0100100000", "loop:\t\twdpcpu 0"},
    {"0100100000", "\t\tinb 0"},         {"0010000001", "\t\tjc loop"},
    {"0001000110", "\t\tj fwd"},         {"0011011111", "\t\tadd x"},
    {"0100001001", "fwd:\t\toutbpb 9"},  {"0001011111", "\t\tj -1"},
    {"0000111111", "\t\tsto 31"},        {"0000000000", "\t\tlea 32"},
    {"1111000000", "\t\tswap 0"},        {"0001100000", "last:\t\tjmq start"},
};

std::string Listing(const std::vector<Word>& words) {
  std::string s;
  for (const Word& w : words) s += std::string(w.bin) + "\n";
  return s;
}

std::string Generating(const Format& format, const std::string& path) {
  return std::string("Generating ") + format.title + " output '" + path + "'\n";
}

// --- What the user sees of a usage error --------------------------------------
// (How every command line is read is pinned in-process, in cmdline_test.cpp.)

struct UsageError {
  const char* name;
  std::vector<std::string> args;
  std::string message;  // what follows "orvix: "
  bool quiet;           // the two lines go to standard error, without the banner
};

const UsageError kUsageErrors[] = {
    {"UnknownOption", {"-x", "in.asm", "out.mif"}, "unknown option '-x'", false},
    {"MoreThanTwoArguments", {"in.asm", "out.mif", "x"}, "too many arguments", false},
    {"QuietRunOnStandardError", {"in.asm", "-odd.mif", "-q"}, "unknown option '-odd.mif'", true},
};

void PrintTo(const UsageError& u, std::ostream* os) { *os << u.name; }

class OptionUsageError : public testing::TestWithParam<UsageError> {};

// The two lines after the banner, status 1, and no source read, no file
// written or created: an existing out.mif keeps its bytes.
TEST_P(OptionUsageError, ReportsAndReadsAndWritesNothing) {
  const UsageError& u = GetParam();
  ScratchDir d;
  WriteFile(d.path / "in.asm", "inc\n");
  WriteFile(d.path / "out.mif", "old image\n");
  Outcome r = u.quiet ? RunQuiet(d.path, u.args) : RunOrvix(d.path, u.args);
  const std::string lines = "orvix: " + u.message + "\n" + kTryHelp;
  EXPECT_EQ(u.quiet ? "" : kBanner + lines, r.out);
  EXPECT_EQ(u.quiet ? lines : "", r.err);
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("old image\n", ReadFile(d.path / "out.mif"));
  EXPECT_EQ((std::vector<std::string>{"in.asm", "out.mif"}), DirEntries(d.path));
}

INSTANTIATE_TEST_SUITE_P(CommandLines, OptionUsageError, testing::ValuesIn(kUsageErrors),
                         orvix_test::ByName());

// --- Help and version -------------------------------------------------------

const char kHelp[] =
    "usage: orvix [option ...] [--] <input file> [<output file>]\n"
    "\n"
    "Assembles a ZRC source into 32 words of 10 bits, lists them and, with an\n"
    "output file, writes the memory image. Options may stand before or after\n"
    "the files; \"--\" ends them, and a lone \"-\" is a file name.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE      write the image to FILE, \"-\" for standard output\n"
    "                         (then only the source may be given besides)\n"
    "  -f, --format FORMAT    the image format (see below); mif by default\n"
    "  -l, --listing FILE     also write a listing to FILE: each source line with\n"
    "                         its address and word, then the labels\n"
    "  -q, --quiet            print no banner, progress or words; messages go to\n"
    "                         standard error\n"
    "  -W, --warnings         report probable mistakes, each by its source line,\n"
    "                         and why a file cannot be read or written\n"
    "      --strict           as -W, and fail the run when anything is reported\n"
    "  -h, --help             print this help and exit\n"
    "  -V, --version          print the version and exit\n"
    "\n"
    "Formats:\n"
    "  mif       Memory Initialization File, one commented line per address\n"
    "  readmemb  for Verilog $readmemb: one 10-digit binary word per line\n"
    "  readmemh  for Verilog $readmemh: one 3-digit hexadecimal word per line\n"
    "  coe       coefficient file, radix 2, the 32 words separated by commas\n"
    "\n"
    "Exit status: 0 on success, 1 on any failure (an existing output file is\n"
    "then left as it was).\n";

// The version the build gives the project.
std::string ProjectVersion() {
  const char* version = getenv("ORVIX_VERSION");
  EXPECT_NE(nullptr, version) << "ORVIX_VERSION not set";
  return version ? version : "";
}

struct InfoRun {
  const char* name;
  std::vector<std::string> args;
  bool version;  // expects the version line; else the help
};

const InfoRun kInfoRuns[] = {
    {"Help", {"--help"}, false},
    {"Version", {"in.asm", "-V"}, true},
};

void PrintTo(const InfoRun& i, std::ostream* os) { *os << i.name; }

class OptionInfo : public testing::TestWithParam<InfoRun> {};

// Standard output only, no banner, status 0, and no file touched.
TEST_P(OptionInfo, PrintsOnlyTheText) {
  const InfoRun& i = GetParam();
  ScratchDir d;
  WriteFile(d.path / "in.asm", "inc\n");
  Outcome r = RunQuiet(d.path, i.args);
  EXPECT_EQ(i.version ? "orvix " + ProjectVersion() + "\n" : std::string(kHelp), r.out);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(std::vector<std::string>{"in.asm"}, DirEntries(d.path));
}

INSTANTIATE_TEST_SUITE_P(CommandLines, OptionInfo, testing::ValuesIn(kInfoRuns),
                         orvix_test::ByName());

// --- Command lines that write what they say ---------------------------------

const std::string kWorked = "start: load 5\nj start\n";
const std::vector<Word> kWorkedWords = {{"1000000101", "start:\t\tload 5"},
                                        {"0001000000", "\t\tj start"}};

struct PlainArgument {
  const char* name;
  std::string source;  // the file that holds the worked example
  std::vector<std::string> args;
  const Format* format;
  std::string output;  // the image written; "" for none (listing only)
  bool quiet;          // expects nothing on the console
};

const PlainArgument kPlainArguments[] = {
    // One or two plain arguments mean what they always have, byte for byte.
    {"TwoPlainArguments", "in.asm", {"in.asm", "out.mif"}, &kMif, "out.mif", false},
    {"OnePlainArgumentListsOnly", "in.asm", {"in.asm"}, &kMif, "", false},
    {"PlainDashIsAFile", "in.asm", {"in.asm", "-"}, &kMif, "-", false},
    // Options stand where the user puts them.
    {"OutputOptionAfterTheSource",
     "in.asm",
     {"in.asm", "-o", "prog.mif"},
     &kMif,
     "prog.mif",
     false},
    {"WarningsAfterTheFiles", "in.asm", {"in.asm", "prog.mif", "-W"}, &kMif, "prog.mif", false},
    {"WarningsBeforeTheFiles", "in.asm", {"-W", "in.asm", "prog.mif"}, &kMif, "prog.mif", false},
    {"DoubleDashBeforeFilesThatLookLikeOptions",
     "-x.asm",
     {"-f", "readmemb", "--", "-x.asm", "-odd.mif"},
     &kReadmemb,
     "-odd.mif",
     false},
    // A successful quiet run prints nothing at all.
    {"QuietWritesTheImage", "in.asm", {"-q", "in.asm", "prog.mif"}, &kMif, "prog.mif", true},
    {"QuietWithoutOutput", "in.asm", {"in.asm", "--quiet"}, &kMif, "", true},
};

void PrintTo(const PlainArgument& a, std::ostream* os) { *os << a.name; }

class PlainArguments : public testing::TestWithParam<PlainArgument> {};

TEST_P(PlainArguments, NameTheSourceAndTheOutput) {
  const PlainArgument& a = GetParam();
  ScratchDir d;
  WriteFile(d.path / a.source, kWorked);
  Outcome r = a.quiet ? RunQuiet(d.path, a.args) : RunOrvix(d.path, a.args);
  EXPECT_EQ(a.quiet ? ""
                    : kBanner + "Processing ZRC assembly source file '" + a.source + "'...\n" +
                          Generating(*a.format, a.output.empty() ? "<stdout>" : a.output) +
                          Listing(kWorkedWords),
            r.out);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(0, r.status);
  std::vector<std::string> entries = {a.source};
  if (!a.output.empty()) {
    entries.push_back(a.output);
    EXPECT_EQ(Image(*a.format, a.output, kWorkedWords), ReadImage(d.path / a.output));
  }
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, DirEntries(d.path));
}

INSTANTIATE_TEST_SUITE_P(CommandLines, PlainArguments, testing::ValuesIn(kPlainArguments),
                         orvix_test::ByName());

// --- The listing -------------------------------------------------------------

struct ListingCase {
  const char* name;
  std::string source;
  std::string listing;  // in.lst afterwards
};

const std::string kNoWord = "                 ";  // where a statement's columns would stand

const ListingCase kListings[] = {
    {"BlankAndCommentLines", "start: load 5 ; go\n\n   \n; note\n\tj start\n",
     "00 1000000101 205     1  start: load 5 ; go\n" + kNoWord + "     2\n" + kNoWord +
         "     3     \n" + kNoWord + "     4  ; note\n" +
         "01 0001000000 040     5          j start\n"
         "\nLabels:\n"
         "00     1  start\n"},
    // Tab stops count from the start of the source line; a UTF-8 character
    // takes one column.
    {"TabsExpanded", "a:\tinc\t; x\n\tdec\t; \xc3\x9c\tok\n",
     "00 1100100000 320     1  a:      inc     ; x\n"
     "01 1101000000 340     2          dec     ; \xc3\x9c     ok\n"
     "\nLabels:\n"
     "00     1  a\n"},
    // Both pieces of an over-long line are statements of that one line.
    {"OverLongLineWithTwoStatements", "inc" + Repeat(" ", 1020) + "j\nx: dec\n",
     "00 1100100000 320  01 0001000000 040     1  inc" + Repeat(" ", 1020) + "j\n" +
         "02 1101000000 340     2  x: dec\n"
         "\nLabels:\n"
         "02     2  x\n"},
    {"DuplicateLabel", "a: inc\nb: j a\n\na: dec\n",
     "00 1100100000 320     1  a: inc\n"
     "01 0001000000 040     2  b: j a\n" +
         kNoWord + "     3\n" +
         "02 1101000000 340     4  a: dec\n"
         "\nLabels:\n"
         "00     1  a\n"
         "01     2  b\n"
         "02     4  a  (defined again: not reached by jumps)\n"},
    {"CrLfAndNoLastLineEndNoLabels", "inc\r\n\r\n\tdec\r\n; end",
     "00 1100100000 320     1  inc\n" + kNoWord + "     2\n" +
         "01 1101000000 340     3          dec\n" + kNoWord + "     4  ; end\n"},
};

void PrintTo(const ListingCase& l, std::ostream* os) { *os << l.name; }

class Listings : public testing::TestWithParam<ListingCase> {};

TEST_P(Listings, ExactText) {
  const ListingCase& l = GetParam();
  ScratchDir d;
  WriteFile(d.path / "in.asm", l.source);
  Outcome r = RunQuiet(d.path, {"-q", "in.asm", "--listing", "in.lst", "out.mif"});
  EXPECT_EQ("", r.out);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(l.listing, ReadImage(d.path / "in.lst"));
  EXPECT_EQ((std::vector<std::string>{"in.asm", "in.lst", "out.mif"}), DirEntries(d.path));
}

INSTANTIATE_TEST_SUITE_P(Sources, Listings, testing::ValuesIn(kListings), orvix_test::ByName());

struct ListingRun {
  const char* name;
  std::string source;  // in.asm; old.mif holds "old image\n"
  std::vector<std::string> args;
  std::string console;  // after the banner
  std::vector<std::string> entries;
};

const ListingRun kListingRuns[] = {
    // Never over the source nor the image: refused before anything is read.
    {"ListingIsTheSource",
     kWorked,
     {"in.asm", "-l", "in.asm"},
     "orvix: Listing file in.asm is the source file.\n",
     {"in.asm", "old.mif"}},
    {"ListingIsTheImage",
     kWorked,
     {"in.asm", "out.mif", "-l", "out.mif"},
     "orvix: Listing file out.mif is the output file.\n",
     {"in.asm", "old.mif"}},
    {"ListingIsTheImageSpelledOtherwise",
     kWorked,
     {"in.asm", "-o", "old.mif", "-l", "./old.mif"},
     "orvix: Listing file ./old.mif is the output file.\n",
     {"in.asm", "old.mif"}},
    // Written only when the run succeeds.
    {"FailedRunWritesNoListing",
     "inc\nLOAD 2\n",
     {"in.asm", "out.mif", "-l", "in.lst"},
     "Processing ZRC assembly source file 'in.asm'...\nGenerating MIF output 'out.mif'\n"
     "1100100000\nUnknown ZRC instruction 'LOAD', aborting..\n" +
         kGenFailed,
     {"in.asm", "old.mif"}},
    // The image is written first and stays.
    {"ListingCannotBeWritten",
     kWorked,
     {"-W", "in.asm", "out.mif", "-l", "nodir/in.lst"},
     "Processing ZRC assembly source file 'in.asm'...\nGenerating MIF output 'out.mif'\n" +
         Listing(kWorkedWords) +
         "nodir/in.lst: error: cannot write: No such file or directory\n"
         "Cannot write listing 'nodir/in.lst', aborting..\n" +
         kGenFailed,
     {"in.asm", "old.mif", "out.mif"}},
};

void PrintTo(const ListingRun& l, std::ostream* os) { *os << l.name; }

class ListingRuns : public testing::TestWithParam<ListingRun> {};

TEST_P(ListingRuns, FailWithoutTouchingTheListing) {
  const ListingRun& l = GetParam();
  ScratchDir d;
  WriteFile(d.path / "in.asm", l.source);
  WriteFile(d.path / "old.mif", "old image\n");
  Outcome r = RunOrvix(d.path, l.args);
  EXPECT_EQ(kBanner + l.console, r.out);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(l.source, ReadFile(d.path / "in.asm"));
  EXPECT_EQ("old image\n", ReadFile(d.path / "old.mif"));
  EXPECT_EQ(l.entries, DirEntries(d.path));
}

INSTANTIATE_TEST_SUITE_P(CommandLines, ListingRuns, testing::ValuesIn(kListingRuns),
                         orvix_test::ByName());

// --- Every format: the path in the header, standard output, failures -------

class FormatBytes : public testing::TestWithParam<Format> {};

// The header names the output path as given, on one line.
TEST_P(FormatBytes, HeaderNamesThePathOnOneLine) {
  const Format& f = GetParam();
  ScratchDir d;
  fs::create_directory(d.path / "sub");
  WriteFile(d.path / "in.asm", kWorked);
  for (const std::string path : {"./sub/../sub/x", "sub/line\nend\r"}) {
    // A name cannot hold a line end on Windows.
    if (WindowsTarget() && path.find('\n') != std::string::npos) continue;
    Outcome r = RunOrvix(d.path, {"-f", f.name, "in.asm", path});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(Image(f, path, kWorkedWords), ReadImage(d.path / path));
  }
}

// "-o -": standard output, a pipe, carries the image alone, and only when
// the run succeeds; messages go to standard error.
TEST_P(FormatBytes, ImageOnStandardOutput) {
  const Format& f = GetParam();
  ScratchDir d;
  WriteFile(d.path / "in.asm", kProgram);
  WriteFile(d.path / "bad.asm", "inc\nLOAD 2\n");
  Outcome r = RunQuiet(d.path, {"-o", "-", "-f", f.name, "in.asm"});
  EXPECT_EQ(Image(f, "<stdout>", kWords), r.out);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(0, r.status);
  Outcome bad = RunQuiet(d.path, {"bad.asm", "-W", "--output=-", "-f", f.name});
  EXPECT_EQ("", bad.out);
  EXPECT_EQ(
      "bad.asm:2: error: unknown instruction 'LOAD'; did you mean 'load'?\n"
      "Unknown ZRC instruction 'LOAD', aborting..\n" +
          kGenFailed,
      bad.err);
  EXPECT_EQ(1, bad.status);
  EXPECT_EQ((std::vector<std::string>{"bad.asm", "in.asm"}), DirEntries(d.path));
}

INSTANTIATE_TEST_SUITE_P(AllFormats, FormatBytes, kAllFormats, orvix_test::ByName());

// What a run must end with.
enum Ending {
  WRITTEN,           // the new image at the output path
  UNKNOWN_MNEMONIC,  // the assembly failed at statement 1
  CANNOT_WRITE,      // the image could not be written
};

// Every format is written through the same replacement of the whole file,
// whose situations (links, devices, directories, modes, the source as
// output) the bad-input matrix pins; here each format shows that a failure
// keeps the old image and names the format.
struct Situation {
  const char* name;
  std::string source;              // in.asm
  std::optional<std::string> old;  // "out" before the run, mode 0640
  long long file_size_limit;       // for the run; -1 none
  Ending ending;
};

void PrintTo(const Situation& s, std::ostream* os) { *os << s.name; }

const std::string kOld = "the previous image, longer than nothing and kept byte for byte\n";

const Situation kSituations[] = {
    {"UnknownMnemonicKeepsOldImage", "inc\nLOAD 2\ninc\n", kOld, -1, UNKNOWN_MNEMONIC},
    {"OldImageReplacedWhole", kProgram, Repeat(kOld, 40), -1, WRITTEN},
    // Every image is longer than 100 bytes: the write fails part way.
    {"WriteFailingPartWayKeepsOldImage", kProgram, kOld, 100, CANNOT_WRITE},
    {"WriteFailingPartWayLeavesNoFile", kProgram, std::nullopt, 100, CANNOT_WRITE},
};

using FormatSituation = std::tuple<Format, Situation>;

class FormatFailure : public testing::TestWithParam<FormatSituation> {};

TEST_P(FormatFailure, LeavesTheOutputAsItMust) {
  const Format& f = std::get<0>(GetParam());
  const Situation& s = std::get<1>(GetParam());
  // File size limits are POSIX's alone.
  if (WindowsTarget() && s.file_size_limit >= 0) GTEST_SKIP() << "POSIX only";
  ScratchDir d;
  WriteFile(d.path / "in.asm", s.source);
  if (s.old) {
    WriteFile(d.path / "out", *s.old);
    fs::permissions(d.path / "out", fs::perms(0640));
  }
  RunOptions options;
  options.file_size_limit = s.file_size_limit;
  Outcome r = RunOrvix(d.path, {"-f", f.name, "in.asm", "out"}, options);

  std::string console = kProcessing + Generating(f, "out");
  switch (s.ending) {
    case WRITTEN:
      console += Listing(kWords);
      break;
    case UNKNOWN_MNEMONIC:
      console += "1100100000\nUnknown ZRC instruction 'LOAD', aborting..\n" + kGenFailed;
      break;
    case CANNOT_WRITE:
      console +=
          Listing(kWords) + "Cannot write " + f.title + " output 'out', aborting..\n" + kGenFailed;
      break;
  }
  EXPECT_EQ(console, r.out);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(s.ending == WRITTEN ? 0 : 1, r.status);
  EXPECT_EQ(s.source, ReadFile(d.path / "in.asm"));
  const std::vector<std::string> in_only = {"in.asm"}, with_out = {"in.asm", "out"};
  EXPECT_EQ(s.old || s.ending == WRITTEN ? with_out : in_only, DirEntries(d.path));
  if (s.ending == WRITTEN) {
    EXPECT_EQ(Image(f, "out", kWords), ReadImage(d.path / "out"));
    // The replaced file keeps its permission bits.
    struct stat st;
    ASSERT_EQ(0, stat((d.path / "out").c_str(), &st));
    if (!WindowsTarget()) {
      EXPECT_EQ(0640u, st.st_mode & 07777);
    }
  } else if (s.old) {
    EXPECT_EQ(*s.old, ReadFile(d.path / "out"));
  }
}

INSTANTIATE_TEST_SUITE_P(AllFormats, FormatFailure,
                         testing::Combine(kAllFormats, testing::ValuesIn(kSituations)),
                         [](const testing::TestParamInfo<FormatSituation>& info) {
                           return std::string(std::get<1>(info.param).name) + "_" +
                                  std::get<0>(info.param).name;
                         });

// --- Real readers of the images ---------------------------------------------

const char* const kMnemonics[] = {"load", "lea", "sto",  "j",      "jmq",    "jc",   "jo",
                                  "add",  "and", "outb", "outbpb", "sdpcpu", "inb",  "wdpcpu",
                                  "inc",  "dec", "lsh",  "rsh",    "inv",    "swap", "leamq"};

// A random program of 1 to 32 statements over all mnemonics, with random
// labels, numbers (negative and out of range too), label operands (defined
// before, after, or nowhere), separators, comments and blank lines.
std::string RandomProgram(std::mt19937& rng) {
  const int n = 1 + static_cast<int>(rng() % 32);
  std::vector<bool> labelled(n);
  for (int i = 0; i < n; i++) labelled[i] = rng() % 3 == 0;
  const std::string separators[] = {" ", "\t", ", ", " , "};
  std::string s;
  for (int i = 0; i < n; i++) {
    if (rng() % 8 == 0) s += rng() % 2 ? "\n" : "; a comment line\n";
    if (labelled[i]) s += "L" + std::to_string(i) + ": ";
    s += kMnemonics[rng() % 21];
    switch (rng() % 5) {
      case 0:
        break;
      case 1:
        s += separators[rng() % 4] + std::to_string(static_cast<int>(rng() % 1201) - 600);
        break;
      case 2:
        s += separators[rng() % 4] + std::to_string(static_cast<int>(rng() % 81) - 40);
        break;
      case 3: {
        int target = static_cast<int>(rng() % n);
        if (labelled[target]) {
          s += separators[rng() % 4] + "L" + std::to_string(target);
          break;
        }
        s += separators[rng() % 4] + "nowhere";
        break;
      }
      case 4:
        s += separators[rng() % 4] + std::to_string(rng() % 32);
        break;
    }
    if (rng() % 4 == 0) s += " ; note";
    s += "\n";
  }
  return s;
}

const int kRandomPrograms = 40;

// One program of the corpus, and the memory every reader must see: the
// console listing, then zero words.
struct Assembled {
  std::string name;           // file stem in the corpus directory
  std::string source;         // its text
  std::string listing;        // the words orvix listed, the same in every format
  std::vector<int> expected;  // 32 words
};

// Every example and the random programs, in one directory shared by the
// reader tests of one test program run. Each program is assembled in a
// format when a reader first needs that format: a run of one reader test
// starts orvix only for the images its reader reads.
struct Corpus {
  ScratchDir dir;
  std::vector<Assembled> programs;
  std::set<std::string> formats;  // the formats every program is assembled in
};

// The words listed after the progress line, warnings passed over.
std::vector<int> ListedWords(const std::string& console, size_t statements_at_most) {
  std::vector<int> words;
  std::istringstream in(console.substr(console.find("output '")));
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    if (line.rfind("Warning: ", 0) == 0) continue;
    EXPECT_EQ(10u, line.size()) << line;
    EXPECT_EQ(std::string::npos, line.find_first_not_of("01")) << line;
    words.push_back(std::stoi(line, nullptr, 2));
  }
  EXPECT_LE(words.size(), statements_at_most);
  words.resize(32, 0);
  return words;
}

// Writes the sources into the corpus directory.
void WriteSources(Corpus* c) {
  std::vector<std::pair<std::string, std::string>> sources;  // name, text
  for (const auto& entry : fs::directory_iterator(SourceDir() / "examples")) {
    if (entry.path().extension() == ".asm") {
      sources.emplace_back(entry.path().stem().string(), ReadFile(entry.path()));
    }
  }
  std::sort(sources.begin(), sources.end());
  EXPECT_LE(3u, sources.size()) << "the examples are missing";
  std::mt19937 rng(20240611);
  for (int k = 0; k < kRandomPrograms; k++) {
    sources.emplace_back("random" + std::to_string(k), RandomProgram(rng));
  }
  // Statement text that holds block-comment marks, which stand in the
  // comments of the Verilog images.
  sources.emplace_back("comment_marks", "a/*: load /*\ninc\nb*/: dec\nj */\nj a/*\nswap //x*/\n");
  for (const auto& [name, text] : sources) {
    WriteFile(c->dir.path / (name + ".asm"), text);
    c->programs.push_back(Assembled{name, text, "", {}});
  }
}

// Assembles every program of the corpus into `format`.
void Assemble(Corpus* c, const Format& f) {
  for (Assembled& a : c->programs) {
    Outcome r = RunOrvix(c->dir.path, {"-f", f.name, a.name + ".asm", a.name + "." + f.name});
    EXPECT_EQ(0, r.status) << a.name << " " << f.name << "\n" << a.source << r.out << r.err;
    // The listing is the same whatever the format.
    std::string words = r.out.substr(r.out.find('\n', r.out.find("Generating")) + 1);
    if (a.listing.empty()) {
      a.listing = words;
      a.expected = ListedWords(r.out, 32);
    }
    EXPECT_EQ(a.listing, words) << a.name << " " << f.name;
  }
}

// The corpus, its programs assembled in `formats` (and in any a reader of
// the same run needed before); its directory goes when the program ends.
const Corpus& TheCorpus(const std::vector<std::string>& formats) {
  static Corpus corpus;
  if (corpus.programs.empty()) WriteSources(&corpus);
  for (const std::string& name : formats) {
    if (corpus.formats.insert(name).second) Assemble(&corpus, *findformat(name.c_str()));
  }
  return corpus;
}

bool HaveCommand(const char* command) {
  return system(("command -v " + std::string(command) + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Bin(int word) {
  std::string s;
  for (int b = 9; b >= 0; b--) s += (word >> b & 1) ? '1' : '0';
  return s;
}

// Writes the list file of the Verilog testbench, both readmem images of
// every program in turn, and returns the testbench's argument naming it.
std::string TestbenchList(const Corpus& c) {
  std::string list;
  for (const Assembled& a : c.programs) {
    list += "b " + a.name + ".readmemb\nh " + a.name + ".readmemh\n";
  }
  WriteFile(c.dir.path / "list.txt", list);
  return "+list=list.txt";
}

// Checks what the testbench printed: for each program, its readmemb and its
// readmemh image, each a line "image" and the 32 words, and nothing else.
void ExpectTestbenchOutput(const Corpus& c, const std::string& out) {
  std::vector<std::string> images;
  std::string other;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    if (line == "image") {
      images.emplace_back();
    } else if (!images.empty() && line.size() == 10) {
      images.back() += line + "\n";
    } else {
      other += line + "\n";
    }
  }
  EXPECT_EQ("", other) << "lines besides the words";
  ASSERT_EQ(2 * c.programs.size(), images.size());
  for (size_t k = 0; k < c.programs.size(); k++) {
    std::string words;
    for (int w : c.programs[k].expected) words += Bin(w) + "\n";
    EXPECT_EQ(words, images[2 * k]) << c.programs[k].name << ".readmemb";
    EXPECT_EQ(words, images[2 * k + 1]) << c.programs[k].name << ".readmemh";
  }
}

const fs::path kTestbench = fs::path("tests") / "formats" / "rom_tb.v";

class ImageReader : public testing::Test {};

// Icarus Verilog loads each readmemb and readmemh image into the 32-word
// memory and sees exactly the listed words and the zero fill, with no
// warning: its whole output is the words.
TEST_F(ImageReader, IcarusVerilogReadsTheVerilogImages) {
  if (!HaveCommand("iverilog") || !HaveCommand("vvp")) GTEST_SKIP() << "no iverilog/vvp";
  const Corpus& c = TheCorpus({"readmemb", "readmemh"});
  Outcome build = RunProcess(
      c.dir.path, {"iverilog", "-Wall", "-o", "rom_tb.vvp", (SourceDir() / kTestbench).string()});
  ASSERT_EQ(0, build.status) << build.out << build.err;
  Outcome run = RunProcess(c.dir.path, {"vvp", "-n", "rom_tb.vvp", TestbenchList(c)});
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
  ExpectTestbenchOutput(c, run.out);
}

// Verilator's build of the same testbench reads every image the same. It is
// built with the tests (tests/CMakeLists.txt), once, since compiling it
// takes longer than reading every image.
TEST_F(ImageReader, VerilatorReadsTheVerilogImages) {
  const char* testbench = getenv("ORVIX_VERILATOR_TESTBENCH");
  if (testbench == nullptr) GTEST_SKIP() << "no verilator when the tests were configured";
  const Corpus& c = TheCorpus({"readmemb", "readmemh"});
  Outcome run = RunProcess(c.dir.path, {testbench, TestbenchList(c)});
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("", run.err);
  // The simulator's own last line reports the $finish that ends the run.
  std::string out = run.out;
  size_t last = out.rfind('\n', out.size() >= 2 ? out.size() - 2 : 0);
  std::string tail = last == std::string::npos ? out : out.substr(last + 1);
  if (tail.rfind("- ", 0) == 0 && tail.find(": Verilog $finish\n") != std::string::npos) {
    out.erase(last + 1);
  }
  ExpectTestbenchOutput(c, out);
}

// Yosys elaborates one ROM per image, initialised with $readmemb or
// $readmemh, and its memory's init value holds the listed words and zeros:
// no word undefined, no warning.
TEST_F(ImageReader, YosysReadsTheVerilogImages) {
  if (!HaveCommand("yosys")) GTEST_SKIP() << "no yosys";
  const Corpus& c = TheCorpus({"readmemb", "readmemh"});
  std::string verilog;
  std::vector<std::pair<std::string, const Assembled*>> roms;
  for (const Assembled& a : c.programs) {
    for (const char* task : {"readmemb", "readmemh"}) {
      std::string module = "rom" + std::to_string(roms.size());
      verilog += "module " + module + "(input [4:0] a, output [9:0] q);\n" +
                 "  reg [9:0] mem [0:31];\n" + "  initial $" + task + "(\"" + a.name + "." + task +
                 "\", mem);\n" + "  assign q = mem[a];\nendmodule\n";
      roms.emplace_back(module, &a);
    }
  }
  WriteFile(c.dir.path / "roms.v", verilog);
  Outcome run = RunProcess(c.dir.path, {"yosys", "-q", "-p",
                                        "read_verilog roms.v; proc; memory_collect; "
                                        "write_json roms.json"});
  ASSERT_EQ(0, run.status) << run.out << run.err;
  EXPECT_EQ("", run.out);
  EXPECT_EQ("", run.err);
  const std::string json = ReadFile(c.dir.path / "roms.json");
  for (const auto& [module, a] : roms) {
    size_t at = json.find("\"" + module + "\": {");
    ASSERT_NE(std::string::npos, at) << module;
    at = json.find("\"INIT\": \"", at);
    ASSERT_NE(std::string::npos, at) << module;
    // 320 bits, the highest address first.
    const std::string init = json.substr(at + 9, 321);
    ASSERT_EQ('"', init[320]) << module << " " << a->name;
    for (int w = 0; w < 32; w++) {
      EXPECT_EQ(Bin(a->expected[w]), init.substr(320 - 10 * (w + 1), 10))
          << a->name << " (" << module << ") address " << w;
    }
  }
}

// srec_cat reads the MIF image of every program as 32 words of two bytes,
// low byte first.
TEST_F(ImageReader, SrecCatReadsTheMifImages) {
  if (!HaveCommand("srec_cat")) GTEST_SKIP() << "no srec_cat";
  const Corpus& c = TheCorpus({"mif"});
  std::vector<std::pair<std::string, Assembled>> images;  // file, program
  for (const Assembled& a : c.programs) images.emplace_back(a.name + ".mif", a);
  // A path holding line ends, which the header's comment must not break
  // (where a name may hold them).
  const std::string odd = "line\nend\r.mif";
  if (!WindowsTarget()) {
    ASSERT_EQ(0, RunOrvix(c.dir.path, {c.programs[0].name + ".asm", odd}).status);
    images.emplace_back(odd, Assembled{odd, "", "", c.programs[0].expected});
  }
  for (const auto& [mif, a] : images) {
    Outcome dump = RunProcess(c.dir.path, {"srec_cat", mif, "-mif", "-o", "-", "-hex-dump"});
    ASSERT_EQ(0, dump.status) << a.name << dump.err;
    EXPECT_EQ("", dump.err) << a.name;
    // Lines read "addr: b0 b1 ...  #ascii".
    std::vector<int> bytes;
    std::istringstream in(dump.out);
    std::string line, tok;
    while (std::getline(in, line)) {
      std::istringstream fields(line.substr(line.find(':') + 1));
      while (fields >> tok && tok[0] != '#') bytes.push_back(std::stoi(tok, nullptr, 16));
    }
    ASSERT_EQ(64u, bytes.size()) << a.name << "\n" << dump.out;
    for (int w = 0; w < 32; w++) {
      EXPECT_EQ(a.expected[w], bytes[2 * w] | bytes[2 * w + 1] << 8) << a.name << " address " << w;
    }
  }
}

// Reads a coefficient file: lines whose first non-blank character is ';' are
// comments; the rest is a series of "keyword = value ;" with the radix
// before the vector, whose values are separated by commas and any
// whitespace and end with ';'. Returns the vector's values, or an error in
// `error`. Each value must also be a ten-digit word, as orvix writes them.
std::vector<long> ReadCoe(const std::string& text, std::string& error) {
  std::string body;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    size_t first = line.find_first_not_of(" \t\r");
    if (first != std::string::npos && line[first] == ';') continue;
    body += line + "\n";
  }
  auto skip = [&](size_t& i) {
    while (i < body.size() && isspace(static_cast<unsigned char>(body[i]))) i++;
  };
  int radix = 0;
  std::vector<long> values;
  bool have_vector = false;
  size_t i = 0;
  for (skip(i); i < body.size(); skip(i)) {
    size_t eq = body.find('=', i);
    if (eq == std::string::npos) {
      error = "text without '=': " + body.substr(i);
      return {};
    }
    std::string keyword = body.substr(i, eq - i);
    keyword.erase(keyword.find_last_not_of(" \t\n") + 1);
    i = eq + 1;
    size_t end = body.find(';', i);
    if (end == std::string::npos) {
      error = "no ';' after " + keyword;
      return {};
    }
    std::string value = body.substr(i, end - i);
    i = end + 1;
    if (keyword == "memory_initialization_radix") {
      radix = std::stoi(value);
    } else if (keyword == "memory_initialization_vector") {
      if (radix != 2) {
        error = "vector before a radix of 2";
        return {};
      }
      have_vector = true;
      std::istringstream items(value);
      std::string item;
      while (std::getline(items, item, ',')) {
        size_t b = item.find_first_not_of(" \t\n");
        size_t e = item.find_last_not_of(" \t\n");
        std::string word = b == std::string::npos ? "" : item.substr(b, e - b + 1);
        if (word.size() != 10 || word.find_first_not_of("01") != std::string::npos) {
          error = "not a ten-digit binary word: '" + word + "'";
          return {};
        }
        values.push_back(std::stol(word, nullptr, radix));
      }
    } else {
      error = "unknown keyword " + keyword;
      return {};
    }
  }
  if (!have_vector) error = "no vector";
  return values;
}

// The COE grammar reads every COE image as exactly the listed words and the
// zero fill.
TEST_F(ImageReader, CoeGrammarReadsTheCoeImages) {
  const Corpus& c = TheCorpus({"coe"});
  for (const Assembled& a : c.programs) {
    std::string error;
    std::vector<long> values = ReadCoe(ReadImage(c.dir.path / (a.name + ".coe")), error);
    ASSERT_EQ("", error) << a.name;
    ASSERT_EQ(32u, values.size()) << a.name;
    for (int w = 0; w < 32; w++) EXPECT_EQ(a.expected[w], values[w]) << a.name << " " << w;
  }
}

}  // namespace
