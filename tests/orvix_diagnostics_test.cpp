// End-to-end runs of orvix with its diagnostics (-W, --warnings, --strict,
// -q): what a process adds to the assembly's console (tested in-process in
// assembly_test.cpp): quiet runs print the messages alone on standard
// error; reporting changes nothing else of a run: the same console apart
// from the located lines, the same status and the same image in every
// format; --strict fails exactly the runs that warn and then leaves the
// output path as it was.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/orvix_run.h"
#include "tests/round_trip.h"

namespace fs = std::filesystem;

namespace {

using namespace orvix_test;

const std::string kProcessing = kBanner + "Processing ZRC assembly source file 'in.asm'...\n";
const std::string kToConsole = "Generating MIF output '<stdout>'\n";
const std::string kGenFailed = "orvix: Error generating machine code.\n";

// The located warning line for line `line` of in.asm.
std::string W(int line, const std::string& text) {
  return "in.asm:" + std::to_string(line) + ": warning: " + text + "\n";
}

std::string NoOperand(int line, const std::string& mnemonic, const std::string& operand) {
  return W(line, "'" + mnemonic + "' takes no operand: '" + operand + "' is ignored");
}

std::string PastLast(int line, int address, int last) {
  return W(line, "jump to address " + std::to_string(address) +
                     " lies past the last statement (address " + std::to_string(last) +
                     "), into the zero words");
}

std::string NoFit(int line, const std::string& operand, int width, const std::string& mnemonic,
                  const std::string& bits) {
  return W(line, "operand " + operand + " does not fit the " + std::to_string(width) +
                     "-bit field of '" + mnemonic + "': its low " + std::to_string(width) +
                     " bits " + bits + " are kept");
}

// The lines of `console` that name a place in in.asm, or all the others:
// what a run without warnings prints.
std::string Located(const std::string& console) { return LinesWhere(console, "in.asm", true); }
std::string Unlocated(const std::string& console) { return LinesWhere(console, "in.asm", false); }

bool HasWarning(const std::string& console) {
  return console.find(": warning: ") != std::string::npos;
}

// A quiet run prints nothing on standard output and every message, located
// or not, on standard error, in order; the status is a reporting run's.
struct QuietCase {
  const char* name;
  std::string source;
  std::string console;  // of a reporting run, after the processing line
  std::string errors;   // of a quiet one
  int status;
};

void PrintTo(const QuietCase& c, std::ostream* os) { *os << c.name; }

const QuietCase kQuiet[] = {
    {"WarningsAndWords", "add 5, 7\nload 300\nj nowhere\n",
     W(1, "text after the operand is ignored: '7'") + kToConsole + "0011000101\n" +
         NoFit(2, "300", 8, "load", "00101100") + "1000101100\n" +
         W(3, "jump to label 'nowhere', which no statement defines: address 0 is used") +
         "Warning: Label 'nowhere' in jump statement not found, using address 0\n0001000000\n",
     W(1, "text after the operand is ignored: '7'") + NoFit(2, "300", 8, "load", "00101100") +
         W(3, "jump to label 'nowhere', which no statement defines: address 0 is used") +
         "Warning: Label 'nowhere' in jump statement not found, using address 0\n",
     0},
    {"UnknownMnemonic", "inc\nlod 5\n",
     kToConsole + "1100100000\n" +
         "in.asm:2: error: unknown instruction 'lod'; did you mean 'load'?\n"
         "Unknown ZRC instruction 'lod', aborting..\n" +
         kGenFailed,
     "in.asm:2: error: unknown instruction 'lod'; did you mean 'load'?\n"
     "Unknown ZRC instruction 'lod', aborting..\n" +
         kGenFailed,
     1},
    {"Clean", "inc\n", kToConsole + "1100100000\n", "", 0},
    // Lines are counted alike on every system, whatever their line ends.
    {"CrLfLineEnds", "inc\r\n\r\nadd 5, 7\r\n",
     W(3, "text after the operand is ignored: '7'") + kToConsole + "1100100000\n0011000101\n",
     W(3, "text after the operand is ignored: '7'"), 0},
};

class QuietRuns : public testing::TestWithParam<QuietCase> {};

TEST_P(QuietRuns, PrintTheMessagesAloneOnStandardError) {
  const QuietCase& c = GetParam();
  ScratchDir d;
  WriteFile(d.path / "in.asm", c.source);
  Outcome reported = RunOrvix(d.path, {"-W", "in.asm"});
  EXPECT_EQ(kProcessing + c.console, reported.out);
  EXPECT_EQ("", reported.err);
  EXPECT_EQ(c.status, reported.status);
  Outcome quiet = RunQuiet(d.path, {"-q", "-W", "in.asm"});
  EXPECT_EQ("", quiet.out);
  EXPECT_EQ(c.errors, quiet.err);
  EXPECT_EQ(c.status, quiet.status);
  EXPECT_EQ(std::vector<std::string>{"in.asm"}, DirEntries(d.path));
}

INSTANTIATE_TEST_SUITE_P(Sources, QuietRuns, testing::ValuesIn(kQuiet), ByName());

// --strict with an output file: a run that warns lists its words, fails,
// and leaves the output path as it was; a clean run writes the image that a
// run without options writes.
struct StrictCase {
  const char* name;
  std::string source;
  bool warns;
};

void PrintTo(const StrictCase& c, std::ostream* os) { *os << c.name; }

const StrictCase kStrict[] = {
    {"LoaderWarning", "add 5, 7\n", true},        {"EncoderWarning", "inc\nload 256\n", true},
    {"MissingLabel", "j nowhere\ninc\n", true},   {"LongLine", Repeat(" ", 1024) + "\ninc\n", true},
    {"Clean", "start: load 5\nj start\n", false},
};

class StrictRuns : public testing::TestWithParam<std::tuple<StrictCase, bool>> {};

TEST_P(StrictRuns, FailExactlyTheRunsThatWarn) {
  const StrictCase& c = std::get<0>(GetParam());
  const bool old_image = std::get<1>(GetParam());
  const std::string old = "previous image\n";
  ScratchDir strict_dir, plain_dir;
  for (const fs::path& dir : {strict_dir.path, plain_dir.path}) {
    WriteFile(dir / "in.asm", c.source);
    if (old_image) WriteFile(dir / "out.mif", old);
  }
  Outcome strict = RunOrvix(strict_dir.path, {"--strict", "in.asm", "out.mif"});
  Outcome reported = RunOrvix(plain_dir.path, {"-W", "in.asm", "out.mif"});
  ASSERT_EQ(0, reported.status) << reported.out;
  EXPECT_EQ(c.warns, HasWarning(reported.out)) << reported.out;

  const std::vector<std::string> source_only = {"in.asm"};
  const std::vector<std::string> with_image = {"in.asm", "out.mif"};
  if (c.warns) {
    EXPECT_EQ(reported.out + kGenFailed, strict.out);
    EXPECT_EQ(1, strict.status);
    EXPECT_EQ(old_image ? with_image : source_only, DirEntries(strict_dir.path));
    if (old_image) {
      EXPECT_EQ(old, ReadFile(strict_dir.path / "out.mif"));
    }
  } else {
    EXPECT_EQ(reported.out, strict.out);
    EXPECT_EQ(0, strict.status);
    EXPECT_EQ(with_image, DirEntries(strict_dir.path));
    EXPECT_EQ(ReadFile(plain_dir.path / "out.mif"), ReadFile(strict_dir.path / "out.mif"));
    EXPECT_EQ(0u, ReadFile(strict_dir.path / "out.mif").rfind("-- MIF Format", 0));
  }
}

std::string StrictName(const testing::TestParamInfo<std::tuple<StrictCase, bool>>& info) {
  return std::string(std::get<0>(info.param).name) +
         (std::get<1>(info.param) ? "OverOldImage" : "WithoutOldImage");
}

INSTANTIATE_TEST_SUITE_P(Strict, StrictRuns,
                         testing::Combine(testing::ValuesIn(kStrict), testing::Bool()), StrictName);

// A program with warnings of the loader and of the encoder, and a missing
// label, written in each image format with and without warnings.
const std::string kWarnedProgram =
    "start: load 300 ; too wide\nadd 5, 7\n\nj nowhere\nstart: inc 1\nj 9\n";
const std::string kWarnedLocated =
    W(2, "text after the operand is ignored: '7'") +
    W(5, "label 'start' is defined again (first on line 1): jumps reach the first") +
    NoFit(1, "300", 8, "load", "00101100") +
    W(4, "jump to label 'nowhere', which no statement defines: address 0 is used") +
    NoOperand(5, "inc", "1") + PastLast(6, 9, 4);
const std::string kWarnedWords =
    "1000101100\n0011000101\n"
    "Warning: Label 'nowhere' in jump statement not found, using address 0\n"
    "0001000000\n1100100000\n0001001001\n";

struct FormatCase {
  const char* name;
  std::vector<std::string> options;  // before the source
  const char* title;                 // in the progress line
  const char* last_word;             // the last statement's word as the image holds it
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

const FormatCase kFormatCases[] = {
    {"Default", {}, "MIF", "\t4 : 0001001001 ;"},
    {"Readmemb", {"-f", "readmemb"}, "readmemb", "\n0001001001 // 4:"},
    {"Readmemh", {"--format", "readmemh"}, "readmemh", "\n049 // 4:"},
    {"Coe", {"--format=coe"}, "COE", "\n0001001001,\n"},
    {"Logisim", {"-f", "logisim"}, "Logisim", "\n49 # 4:"},
    {"Vhdl", {"-f", "vhdl"}, "VHDL", "\n    \"0001001001\",  -- 4:"},
};

class FormatRuns : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatRuns, WarningsChangeNothingButTheLocatedLines) {
  const FormatCase& c = GetParam();
  ScratchDir reported_dir, plain_dir;
  std::vector<std::string> plain_args = c.options;
  plain_args.insert(plain_args.end(), {"in.asm", "out.img"});
  Outcome runs[2];
  for (int warn = 0; warn < 2; warn++) {
    const fs::path& dir = warn ? reported_dir.path : plain_dir.path;
    WriteFile(dir / "in.asm", kWarnedProgram);
    std::vector<std::string> args = plain_args;
    if (warn) args.insert(args.begin(), "-W");
    runs[warn] = RunOrvix(dir, args);
    EXPECT_EQ(0, runs[warn].status) << runs[warn].out;
    EXPECT_EQ((std::vector<std::string>{"in.asm", "out.img"}), DirEntries(dir));
  }
  const std::string progress = "Generating " + std::string(c.title) + " output 'out.img'\n";
  EXPECT_EQ(kProcessing + progress + kWarnedWords, runs[0].out);
  EXPECT_EQ(runs[0].out, Unlocated(runs[1].out));
  EXPECT_EQ(kWarnedLocated, Located(runs[1].out));
  const std::string image = ReadImage(plain_dir.path / "out.img");
  EXPECT_EQ(image, ReadImage(reported_dir.path / "out.img"));
  EXPECT_NE(std::string::npos, image.find(c.last_word)) << image;
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatRuns, testing::ValuesIn(kFormatCases), ByName());

// A file name whose extension says another format: with -W a warning right
// after the banner (on standard error in a quiet run), and --strict fails
// the run as any warning does, leaving no image.
struct NameCase {
  const char* name;
  std::vector<std::string> args;  // in.asm holds "inc"
  std::string warning;            // "" for none
  bool quiet;
  int status;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

const NameCase kNames[] = {
    {"CoeNameForMif",
     {"-W", "in.asm", "p.coe"},
     "p.coe: warning: writing a MIF image to a file named '.coe'; give -f coe for a coefficient "
     "file\n",
     false,
     0},
    {"NoWarningWithoutW", {"in.asm", "p.coe"}, "", false, 0},
    {"NoWarningForTheRightFormat", {"-W", "-f", "vhdl", "in.asm", "p.VHD"}, "", false, 0},
    {"QuietOnStandardError",
     {"-q", "-W", "-f", "readmemb", "in.asm", "p.hex"},
     "p.hex: warning: writing a readmemb image to a file named '.hex'; give -f readmemh for a "
     "$readmemh image\n",
     true,
     0},
    {"StrictFails",
     {"--strict", "-o", "p.MIF", "-f", "logisim", "in.asm"},
     "p.MIF: warning: writing a Logisim image to a file named '.MIF'; give -f mif for a MIF "
     "image\n",
     false,
     1},
};

class NameRuns : public testing::TestWithParam<NameCase> {};

TEST_P(NameRuns, WarnOfAnExtensionThatSaysAnotherFormat) {
  const NameCase& c = GetParam();
  ScratchDir d;
  WriteFile(d.path / "in.asm", "inc\n");
  const Outcome r = c.quiet ? RunQuiet(d.path, c.args) : RunOrvix(d.path, c.args);
  const std::string image = c.args.back() == "in.asm" ? c.args[2] : c.args.back();
  const ImageFormat* format = findformat("mif");
  for (size_t i = 0; i + 1 < c.args.size(); i++) {
    if (c.args[i] == "-f") format = findformat(c.args[i + 1].c_str());
  }
  if (c.quiet) {
    EXPECT_EQ("", r.out);
    EXPECT_EQ(c.warning, r.err);
  } else {
    EXPECT_EQ(kBanner + c.warning + "Processing ZRC assembly source file 'in.asm'...\n" +
                  "Generating " + format->title + " output '" + image + "'\n1100100000\n" +
                  (c.status != 0 ? kGenFailed : ""),
              r.out);
  }
  EXPECT_EQ(c.status, r.status);
  std::vector<std::string> entries = {"in.asm"};
  if (c.status == 0) entries.push_back(image);
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, DirEntries(d.path));
}

INSTANTIATE_TEST_SUITE_P(Names, NameRuns, testing::ValuesIn(kNames), ByName());

// Every source here that assembles comes back from its image.
TEST(RoundTrip, EverySourceOfTheTables) {
  std::vector<std::string> sources = {kWarnedProgram};
  int assembling = 1;
  for (const QuietCase& c : kQuiet) {
    sources.push_back(c.source);
    if (c.status == 0) assembling++;
  }
  for (const StrictCase& c : kStrict) sources.push_back(c.source);
  assembling += static_cast<int>(sizeof kStrict / sizeof kStrict[0]);
  EXPECT_EQ(assembling, ExpectRoundTrips(sources));
}

}  // namespace
