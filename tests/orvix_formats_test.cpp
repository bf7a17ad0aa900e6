// End-to-end runs of orvix with its options and image formats: usage errors,
// help and version, the forms of the output and format options, the command
// line without options, the exact bytes of every format, the failures that
// must leave an existing image whole, and real readers of the images (Verilog
// simulators, a synthesis tool, a MIF converter, a logic simulator, a VHDL
// simulator and a COE parser written from the COE grammar) loading the
// examples and random programs, each of which also comes back from its image.

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
#include "tests/round_trip.h"

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
    "       orvix -d [option ...] [--] <image> [<source>]\n"
    "\n"
    "Reads a memory image back and writes a source that assembles to the\n"
    "same words, to <source> or, without it or for \"-\", standard output.\n"
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
    "  -d, --disassemble      read the input file as an image (MIF, COE, readmemb,\n"
    "                         readmemh, Logisim) and write a source for it to the\n"
    "                         output file, or to standard output\n"
    "      --lsp              serve editors as a language server on standard input\n"
    "                         and output (no source is given)\n"
    "  -h, --help             print this help and exit\n"
    "  -V, --version          print the version and exit\n"
    "\n"
    "Formats:\n"
    "  mif       Memory Initialization File, one commented line per address\n"
    "  readmemb  for Verilog $readmemb: one 10-digit binary word per line\n"
    "  readmemh  for Verilog $readmemh: one 3-digit hexadecimal word per line\n"
    "  coe       coefficient file, radix 2, the 32 words separated by commas\n"
    "  logisim   for a Logisim RAM or ROM: \"v2.0 raw\", one hex word per line\n"
    "  vhdl      VHDL package zrc_program, the words as the constant ZRC_IMAGE\n"
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

// Two files of a run that are one file are refused however they are spelt,
// also when the file does not exist yet, before anything is read or
// written. The run's directory holds in.asm, an empty directory sub and,
// where links exist, a link "here" to the directory itself; {dir} stands
// for the directory's absolute path.
struct Spelling {
  const char* name;
  std::vector<std::string> args;
  std::string refusal;  // after the banner
  bool posix_only = false;
  bool windows_only = false;
};

void PrintTo(const Spelling& s, std::ostream* os) { *os << s.name; }

const Spelling kSpellings[] = {
    {"ListingDotSlashImage",
     {"-l", "./z.mif", "in.asm", "z.mif"},
     "orvix: Listing file ./z.mif is the output file.\n"},
    {"ListingThroughParent",
     {"-l", "sub/../z.mif", "in.asm", "z.mif"},
     "orvix: Listing file sub/../z.mif is the output file.\n"},
    {"ListingAbsolute",
     {"in.asm", "-o", "z.mif", "--listing={dir}/z.mif"},
     "orvix: Listing file {dir}/z.mif is the output file.\n",
     true},
    {"ListingThroughLinkToTheDirectory",
     {"in.asm", "here/z.mif", "-l", "z.mif"},
     "orvix: Listing file z.mif is the output file.\n",
     true},
    {"ImageThroughParentIsTheSource",
     {"in.asm", "sub/../in.asm"},
     "orvix: Output file sub/../in.asm is the source file.\n"},
    {"ListingInOtherCase",
     {"-l", "X.MIF", "in.asm", "x.mif"},
     "orvix: Listing file X.MIF is the output file.\n",
     false,
     true},
    {"ListingBackslash",
     {"-l", ".\\z.mif", "in.asm", "z.mif"},
     "orvix: Listing file .\\z.mif is the output file.\n",
     false,
     true},
    {"ListingTrailingDot",
     {"-l", "y.mif.", "in.asm", "y.mif"},
     "orvix: Listing file y.mif. is the output file.\n",
     false,
     true},
};

class SameFileSpellings : public testing::TestWithParam<Spelling> {};

TEST_P(SameFileSpellings, AreRefusedAndNothingIsWritten) {
  const Spelling& s = GetParam();
  if (WindowsTarget() && s.posix_only) GTEST_SKIP() << "POSIX only";
  if (!WindowsTarget() && s.windows_only) GTEST_SKIP() << "Windows only";
  ScratchDir d;
  WriteFile(d.path / "in.asm", kWorked);
  fs::create_directory(d.path / "sub");
  std::vector<std::string> entries = {"in.asm", "sub"};
  if (!WindowsTarget()) {
    fs::create_directory_symlink(".", d.path / "here");
    entries.insert(entries.begin(), "here");
  }
  const auto withdir = [&](std::string text) {
    const size_t at = text.find("{dir}");
    return at == std::string::npos ? text : text.replace(at, 5, d.path.string());
  };
  std::vector<std::string> args;
  for (const std::string& a : s.args) args.push_back(withdir(a));
  Outcome r = RunOrvix(d.path, args);
  EXPECT_EQ(kBanner + withdir(s.refusal), r.out);
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(kWorked, ReadFile(d.path / "in.asm"));
  EXPECT_EQ(entries, DirEntries(d.path));
  EXPECT_TRUE(fs::is_empty(d.path / "sub"));
}

INSTANTIATE_TEST_SUITE_P(CommandLines, SameFileSpellings, testing::ValuesIn(kSpellings),
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

// The random programs of the corpus. A Windows target starts each run of
// orvix under Wine, at a tenth of a second and more, and its images differ
// from this system's by their line ends alone, which a few programs show
// as well as forty do.
int RandomPrograms() { return WindowsTarget() ? 8 : 40; }

// One program of the corpus, and the memory every reader must see: the
// console listing, then zero words.
struct Assembled {
  std::string name;           // file stem in the corpus directory
  std::vector<int> expected;  // 32 words
  std::string listing;        // the console's words, the same for every format
};

// Every example and the random programs, assembled into the formats the
// reader tests of one test program run ask for, in one directory they
// share.
struct Corpus {
  ScratchDir dir;
  std::vector<Assembled> programs;
  std::set<std::string> formats;  // those made
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

// The corpus's sources, each with its name: the examples, the random
// programs and one whose statement text holds block-comment marks, which
// stand in the comments of the Verilog images.
std::vector<std::pair<std::string, std::string>> CorpusSources() {
  std::vector<std::pair<std::string, std::string>> sources;  // name, text
  for (const auto& entry : fs::directory_iterator(SourceDir() / "examples")) {
    if (entry.path().extension() == ".asm") {
      sources.emplace_back(entry.path().stem().string(), ReadFile(entry.path()));
    }
  }
  std::sort(sources.begin(), sources.end());
  EXPECT_LE(3u, sources.size()) << "the examples are missing";
  std::mt19937 rng(20240611);
  for (int k = 0; k < RandomPrograms(); k++) {
    sources.emplace_back("random" + std::to_string(k), RandomProgram(rng));
  }
  sources.emplace_back("comment_marks", "a/*: load /*\ninc\nb*/: dec\nj */\nj a/*\nswap //x*/\n");
  return sources;
}

// Writes the sources into the corpus directory, the first time, and
// assembles each in the format `format`, the first time it is asked for.
void Assemble(Corpus* c, const std::string& format) {
  if (c->programs.empty()) {
    for (const auto& [name, text] : CorpusSources()) {
      WriteFile(c->dir.path / (name + ".asm"), text);
      c->programs.push_back(Assembled{name, {}, ""});
    }
  }
  if (!c->formats.insert(format).second) return;
  for (Assembled& a : c->programs) {
    Outcome r = RunOrvix(c->dir.path, {"-f", format, a.name + ".asm", a.name + "." + format});
    EXPECT_EQ(0, r.status) << a.name << " " << format << "\n" << r.out;
    // The listing is the same whatever the format.
    std::string words = r.out.substr(r.out.find('\n', r.out.find("Generating")) + 1);
    if (a.listing.empty()) a.listing = words;
    EXPECT_EQ(a.listing, words) << a.name << " " << format;
    if (a.expected.empty()) a.expected = ListedWords(r.out, 32);
  }
}

// The corpus with its images in `formats`, made on first use; its
// directory goes when the program ends.
const Corpus& TheCorpus(std::initializer_list<const char*> formats) {
  static Corpus corpus;
  for (const char* format : formats) Assemble(&corpus, format);
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
    images.emplace_back(odd, Assembled{odd, c.programs[0].expected, ""});
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

// The ten-digit words of the readmemb image `name`.readmemb of the corpus,
// address 0 first.
std::vector<std::string> ReadmembWords(const Corpus& c, const std::string& name) {
  std::vector<std::string> words;
  for (const std::string& line : Lines(ReadImage(c.dir.path / (name + ".readmemb")))) {
    if (line.rfind("//", 0) != 0) words.push_back(line.substr(0, 10));
  }
  EXPECT_EQ(32u, words.size()) << name;
  return words;
}

// Logisim loads each Logisim image into the RAM of a circuit of ours
// (tests/formats/ram_reader.circ: a counter steps the RAM's address, output
// pins show the address and the word there, a halt pin ends the run) and
// shows, address by address, the words of the readmemb image. Every run
// starts a Java VM, so the images are shared among four test cases.
class LogisimReader : public testing::TestWithParam<int> {};

const int kLogisimShards = 4;

TEST_P(LogisimReader, ReadsTheLogisimImages) {
  const fs::path jar = "/usr/share/logisim/logisim.jar";
  if (!fs::exists(jar) || !HaveCommand("java")) GTEST_SKIP() << "no " << jar << " or no java";
  if (UnderMemcheck()) GTEST_SKIP() << "a simulator's run checks no memory of ours";
  const Corpus& c = TheCorpus({"logisim", "readmemb"});
  std::vector<Assembled> programs;
  std::string names;
  for (size_t k = GetParam(); k < c.programs.size(); k += kLogisimShards) {
    programs.push_back(c.programs[k]);
    names += c.programs[k].name + "\n";
  }
  WriteFile(c.dir.path / "logisim.list", names);
  // One Java VM per image, two at a time; its preferences stay in the
  // directory, made beforehand so that it says nothing of making them.
  fs::create_directories(c.dir.path / "prefs" / ".java" / ".userPrefs");
  const std::string run_one =
      "exec java -Djava.util.prefs.userRoot=prefs -XX:TieredStopAtLevel=1 -jar \"$0\" "
      "-tty table,halt -load NAME.logisim \"$1\" >NAME.table 2>NAME.log";
  Outcome run = RunProcess(
      c.dir.path,
      {"sh", "-c", "xargs -P 2 -I NAME sh -c '" + run_one + "' \"$0\" \"$1\" <logisim.list",
       jar.string(), (SourceDir() / "tests" / "formats" / "ram_reader.circ").string()});
  ASSERT_EQ(0, run.status) << run.out << run.err;
  for (const Assembled& a : programs) {
    EXPECT_EQ("", ReadFile(c.dir.path / (a.name + ".log"))) << a.name;
    // Each row: the address's bits and the word's, in groups of four.
    std::map<int, std::string> shown;
    std::string other;
    for (const std::string& line : Lines(ReadFile(c.dir.path / (a.name + ".table")))) {
      std::string columns[2];
      const size_t tab = line.find('\t');
      for (int k = 0; k < 2 && tab != std::string::npos; k++) {
        for (char ch : k == 0 ? line.substr(0, tab) : line.substr(tab + 1)) {
          if (ch != ' ') columns[k] += ch;
        }
      }
      if (columns[0].size() == 5 && columns[1].size() == 10) {
        shown[std::stoi(columns[0], nullptr, 2)] = columns[1];
      } else if (line != "halted due to halt pin") {
        other += line + "\n";
      }
    }
    EXPECT_EQ("", other) << a.name;
    const std::vector<std::string> words = ReadmembWords(c, a.name);
    ASSERT_EQ(32u, shown.size()) << a.name;
    for (int w = 0; w < 32 && w < static_cast<int>(words.size()); w++) {
      EXPECT_EQ(words[w], shown[w]) << a.name << " address " << w;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shards, LogisimReader, testing::Range(0, kLogisimShards));

// GHDL analyses every VHDL package as VHDL-93 and as VHDL-2008 without a
// word of warning (each in a library of its own, as they share their name),
// and a testbench that uses them all asserts each constant's 32 words
// against the readmemb image.
TEST_F(ImageReader, GhdlReadsTheVhdlPackages) {
  if (!HaveCommand("ghdl")) GTEST_SKIP() << "no ghdl";
  if (UnderMemcheck()) GTEST_SKIP() << "a simulator's run checks no memory of ours";
  const Corpus& c = TheCorpus({"vhdl", "readmemb"});
  std::string analyse, libraries, checks;
  int checked = 0;
  for (size_t k = 0; k < c.programs.size(); k++) {
    const std::string library = "p" + std::to_string(k), name = c.programs[k].name;
    analyse +=
        "ghdl -a --std=$0 --workdir=w$0 --work=" + library + " " + name + ".vhdl || exit 1\n";
    libraries += "library " + library + ";\n";
    const std::vector<std::string> words = ReadmembWords(c, name);
    for (size_t w = 0; w < words.size(); w++) {
      checks += "    expect(\"" + name + "\", " + std::to_string(w) + ", " + library +
                ".zrc_program.ZRC_IMAGE(" + std::to_string(w) + "), \"" + words[w] + "\");\n";
      checked++;
    }
  }
  WriteFile(c.dir.path / "analyse.sh", analyse);
  WriteFile(
      c.dir.path / "image_tb.vhd",
      "library ieee;\nuse ieee.std_logic_1164.all;\n" + libraries +
          "\nentity image_tb is\nend entity image_tb;\n\n"
          "architecture check of image_tb is\n"
          "  function bits(w : std_logic_vector) return string is\n"
          "    variable s : string(1 to w'length);\n"
          "    variable k : positive := 1;\n"
          "  begin\n"
          "    for i in w'range loop\n"
          "      s(k) := std_logic'image(w(i))(2);\n"
          "      k := k + 1;\n"
          "    end loop;\n"
          "    return s;\n"
          "  end function bits;\n\n"
          "  procedure expect(image : string; address : natural; w : std_logic_vector;\n"
          "                   want : string) is\n"
          "  begin\n"
          "    assert bits(w) = want report image & \" address \" & integer'image(address) &\n"
          "      \": \" & bits(w) & \" is not \" & want severity failure;\n"
          "  end procedure expect;\n"
          "begin\n"
          "  process\n"
          "  begin\n" +
          checks + "    report \"checked \" & integer'image(" + std::to_string(checked) +
          ") & \" words\";\n    wait;\n  end process;\nend architecture check;\n");
  for (const char* standard : {"93", "08"}) {
    fs::create_directory(c.dir.path / (std::string("w") + standard));
    Outcome analysed = RunProcess(c.dir.path, {"sh", "-c", ". ./analyse.sh", standard});
    EXPECT_EQ(0, analysed.status) << standard;
    EXPECT_EQ("", analysed.out + analysed.err) << standard;
    const std::string workdir = std::string("--workdir=w") + standard;
    const std::string std_flag = std::string("--std=") + standard;
    Outcome tb = RunProcess(c.dir.path, {"ghdl", "-a", std_flag, workdir,
                                         "-Pw" + std::string(standard), "image_tb.vhd"});
    ASSERT_EQ(0, tb.status) << tb.out << tb.err;
    EXPECT_EQ("", tb.out + tb.err) << standard;
    Outcome run = RunProcess(c.dir.path, {"ghdl", "--elab-run", std_flag, workdir,
                                          "-Pw" + std::string(standard), "image_tb"});
    EXPECT_EQ(0, run.status) << standard << run.out << run.err;
    EXPECT_NE(std::string::npos,
              (run.out + run.err).find("checked " + std::to_string(checked) + " words"))
        << standard << run.out << run.err;
    EXPECT_EQ(std::string::npos, (run.out + run.err).find("is not")) << run.out << run.err;
  }
}

// Every source here that assembles, the corpus included, comes back from
// its image.
TEST(RoundTrip, EverySourceOfTheTables) {
  std::vector<std::string> sources = {kProgram, kWorked};
  for (const auto& named : CorpusSources()) sources.push_back(named.second);
  EXPECT_EQ(static_cast<int>(sources.size()), ExpectRoundTrips(sources));
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
