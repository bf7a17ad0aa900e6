// End-to-end runs of orvix -d: the console, status and files of a run to
// standard output and to a source file, the broken images refused at their
// line with nothing written, and images that other programs wrote (srec_cat's
// MIF, memories written back by Icarus Verilog) read to the right words.

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orvix/assembly.h"
#include "orvix/disassembler.h"
#include "orvix/image.h"
#include "tests/orvix_run.h"
#include "tests/round_trip.h"

namespace fs = std::filesystem;

namespace {

using namespace orvix_test;

const std::string kDisassembling = kBanner + "Disassembling image 'p.mif'...\n";
const std::string kFailed = "orvix: Error disassembling image p.mif.\n";

const std::string kProgram = "start: load 5\n  inb\n.word 0x3FF\nj start\n";
const std::string kSource =
    "; ZRC source of the MIF image 'p.mif', disassembled by orvix\n"
    "start:  load 5              ; 00 1000000101\n"
    "        inb                 ; 01 0100100000\n"
    "        .word 1023          ; 02 1111111111\n"
    "        j start             ; 03 0001000000\n";
// The image with address 1 given a second time, by hand.
const std::string kTwice = MifOf(kProgram).replace(MifOf(kProgram).find("END;"), 4, "1 : 0;\nEND;");
const std::string kTwiceWarning =
    "p.mif:44: warning: address 1 is given again (first on line 13): the later value counts\n";
// Its comments no longer make the program: the words are decoded.
const std::string kTwiceSource =
    "; ZRC source of the MIF image 'p.mif', disassembled by orvix\n"
    "a00:    load 5              ; 00 1000000101\n"
    "        lea 0               ; 01 0000000000\n"
    "        .word 0x3ff         ; 02 1111111111\n"
    "        j a00               ; 03 0001000000\n";

struct DisassembleRun {
  const char* name;
  std::string image;  // p.mif
  std::vector<std::string> args;
  std::string out, err;
  int status;
  std::string written;  // q.asm afterwards; "" for none, "old" for the old one kept
  bool old = false;     // q.asm holds "old\n" before the run
};

void PrintTo(const DisassembleRun& r, std::ostream* os) { *os << r.name; }

const DisassembleRun kRuns[] = {
    // Without a source file: the source alone on standard output.
    {"ToStandardOutput", MifOf(kProgram), {"-d", "p.mif"}, kSource, "", 0, ""},
    {"DashIsStandardOutput", MifOf(kProgram), {"p.mif", "--disassemble", "-"}, kSource, "", 0, ""},
    {"WarningsOnStandardError", kTwice, {"-W", "-d", "p.mif"}, kTwiceSource, kTwiceWarning, 0, ""},
    // With one: the banner, the progress line and the messages.
    {"ToASourceFile", MifOf(kProgram), {"-d", "p.mif", "q.asm"}, kDisassembling, "", 0, kSource},
    {"ReplacesTheSourceWhole",
     MifOf(kProgram),
     {"-d", "-o", "q.asm", "p.mif"},
     kDisassembling,
     "",
     0,
     kSource,
     true},
    {"Quiet", MifOf(kProgram), {"-q", "-d", "p.mif", "q.asm"}, "", "", 0, kSource},
    {"WarningsOnTheConsole",
     kTwice,
     {"-W", "-d", "p.mif", "q.asm"},
     kDisassembling + kTwiceWarning,
     "",
     0,
     kTwiceSource},
    {"StrictFailsOnAWarning",
     kTwice,
     {"--strict", "-d", "p.mif", "q.asm"},
     kDisassembling + kTwiceWarning + kFailed,
     "",
     1,
     "old",
     true},
    // The image is never overwritten, however named.
    {"SourceIsTheImage",
     MifOf(kProgram),
     {"-d", "p.mif", "./p.mif"},
     kBanner + "orvix: Source file ./p.mif is the image file.\n",
     "",
     1,
     ""},
    {"ImageMissing",
     "",
     {"-d", "none.mif", "q.asm"},
     kBanner + "Disassembling image 'none.mif'...\n"
               "none.mif: error: cannot open: No such file or directory\n"
               "orvix: Error disassembling image none.mif.\n",
     "",
     1,
     "old",
     true},
    {"OptionOfAnAssembly",
     MifOf(kProgram),
     {"-d", "-f", "coe", "p.mif"},
     "",
     "orvix: option '--format' does not go with --disassemble\n"
     "Try 'orvix --help' for more information.\n",
     1,
     ""},
};

class DisassembleRuns : public testing::TestWithParam<DisassembleRun> {};

TEST_P(DisassembleRuns, ConsoleStatusAndSource) {
  const DisassembleRun& r = GetParam();
  ScratchDir d;
  if (!r.image.empty()) WriteFile(d.path / "p.mif", r.image);
  if (r.old) WriteFile(d.path / "q.asm", "old\n");
  const bool quiet = r.out.rfind(kBanner, 0) != 0;
  const Outcome o = quiet ? RunQuiet(d.path, r.args) : RunOrvix(d.path, r.args);
  EXPECT_EQ(r.out, o.out);
  EXPECT_EQ(r.err, o.err);
  EXPECT_EQ(r.status, o.status);
  if (!r.image.empty()) {
    EXPECT_EQ(r.image, ReadFile(d.path / "p.mif"));
  }
  if (r.written == "old") {
    EXPECT_EQ("old\n", ReadFile(d.path / "q.asm"));
  } else if (!r.written.empty()) {
    EXPECT_EQ(r.written, ReadImage(d.path / "q.asm"));
  } else if (!r.old) {
    EXPECT_FALSE(fs::exists(d.path / "q.asm"));
  }
}

INSTANTIATE_TEST_SUITE_P(CommandLines, DisassembleRuns, testing::ValuesIn(kRuns), ByName());

// A broken image: status 1, the message naming its line, and nothing
// written, to a source file (an old one keeps its bytes) or to standard
// output.
struct BrokenImage {
  const char* name;
  std::string bytes;  // the image; "" with `directory` for a directory
  std::string error;  // after "<image>:"
  bool directory = false;
  bool posix_only = false;
};

void PrintTo(const BrokenImage& b, std::ostream* os) { *os << b.name; }

const BrokenImage kBroken[] = {
    {"ValueOfElevenBits",
     "DEPTH=32;\nWIDTH=10;\nDATA_RADIX=BIN;\nCONTENT BEGIN\n0 : 10000000000;\nEND;\n",
     "5: error: value 0x400 does not fit in 10 bits"},
    {"WidthOfEight", "DEPTH = 32;\nWIDTH = 8;\nCONTENT BEGIN\nEND;\n",
     "2: error: WIDTH 8 is too narrow for ZRC words of 10 bits"},
    {"Address40NotZero", "@28\n005\n",
     "2: error: address 40 lies past the 32 words of memory and holds 0x5, not zero"},
    {"UnterminatedPercentComment", "DEPTH = 32;\nWIDTH = 10; % to be\ncontinued\n",
     "2: error: a comment opened with '%' is not closed"},
    {"CoeWithoutVector", "; COE Format ZRC Machine Code 'p'\nmemory_initialization_radix=2;\n",
     "2: error: no memory_initialization_vector: the file holds no words"},
    {"TextThatIsNoImage", "Dear instructor,\nhere is my program.\n",
     "1: error: not a memory image: 'Dear' begins no MIF, COE, readmemb, readmemh or Logisim "
     "image"},
    {"EmptyFile", "", "1: error: the file is empty: it holds no image"},
    // A directory opens on POSIX systems and then cannot be read.
    {"Directory", "", "1: error: cannot read: Is a directory", true, true},
    {"BinaryFile", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
     "3: error: a NUL byte: the file is no text image"},
};

class BrokenImages : public testing::TestWithParam<BrokenImage> {};

TEST_P(BrokenImages, RefusedAtTheirLineWritingNothing) {
  const BrokenImage& b = GetParam();
  if (b.posix_only && WindowsTarget()) GTEST_SKIP() << "POSIX only";
  ScratchDir d;
  if (b.directory) {
    fs::create_directory(d.path / "p.mif");
  } else {
    WriteFile(d.path / "p.mif", b.bytes);
  }
  WriteFile(d.path / "old.asm", "old\n");
  const std::string message = "p.mif:" + b.error + "\n" + kFailed;
  const Outcome to_file = RunOrvix(d.path, {"-d", "p.mif", "old.asm"});
  EXPECT_EQ(kDisassembling + message, to_file.out);
  EXPECT_EQ(1, to_file.status);
  const Outcome to_stdout = RunQuiet(d.path, {"-d", "p.mif"});
  EXPECT_EQ("", to_stdout.out);
  EXPECT_EQ(message, to_stdout.err);
  EXPECT_EQ(1, to_stdout.status);
  EXPECT_EQ("old\n", ReadFile(d.path / "old.asm"));
  EXPECT_EQ((std::vector<std::string>{"old.asm", "p.mif"}), DirEntries(d.path));
}

INSTANTIATE_TEST_SUITE_P(Images, BrokenImages, testing::ValuesIn(kBroken), ByName());

bool HaveCommand(const char* command) {
  return system(("command -v " + std::string(command) + " >/dev/null 2>&1").c_str()) == 0;
}

// The images of the other programs' tests: every example and random words
// (a few under memcheck, where every run of orvix takes a second).
std::vector<std::vector<int>> WordSets() {
  std::vector<std::vector<int>> sets;
  for (const char* name : {"counter", "allops", "comments"}) {
    sets.push_back(
        AssembledWords(ReadFile(SourceDir() / "examples" / (std::string(name) + ".asm"))));
  }
  std::mt19937 rng(23);
  for (int k = 0; k < (UnderMemcheck() ? 2 : 20); k++) {
    std::vector<int> words(kMemoryWords);
    for (int& w : words) w = static_cast<int>(rng() % 1024);
    sets.push_back(words);
  }
  return sets;
}

// Runs orvix -d on `image` in `dir` and returns the words its source
// assembles to.
std::vector<int> Disassembled(const fs::path& dir, const std::string& image) {
  const Outcome r = RunQuiet(dir, {"-d", image});
  EXPECT_EQ(0, r.status) << image << r.err;
  EXPECT_EQ("", r.err) << image;
  return AssembledWords(r.out);
}

// srec_cat writes the words as a MIF of 16-bit words, several to a line;
// orvix reads it to the same words.
TEST(OtherWriters, SrecCatMif) {
  if (!HaveCommand("srec_cat")) GTEST_SKIP() << "no srec_cat";
  ScratchDir d;
  const std::vector<std::vector<int>> sets = WordSets();
  for (size_t k = 0; k < sets.size(); k++) {
    std::string bytes;
    for (int w : sets[k]) bytes += {static_cast<char>(w >> 8), static_cast<char>(w & 0xff)};
    const std::string name = "s" + std::to_string(k);
    WriteFile(d.path / (name + ".bin"), bytes);
    const Outcome w = RunProcess(
        d.path, {"srec_cat", name + ".bin", "-binary", "-o", name + ".mif", "-mif", "16"});
    ASSERT_EQ(0, w.status) << w.err;
    const std::string mif = ReadFile(d.path / (name + ".mif"));
    EXPECT_NE(std::string::npos, mif.find("WIDTH = 16;")) << mif;
    EXPECT_EQ(sets[k], Disassembled(d.path, name + ".mif")) << mif;
  }
}

// Icarus Verilog loads orvix's readmemb image of each word set and writes
// the memory back with $writememh and $writememb, in its own layout; orvix
// reads both to the same words.
TEST(OtherWriters, IcarusVerilogWrittenBackMemories) {
  if (!HaveCommand("iverilog") || !HaveCommand("vvp")) GTEST_SKIP() << "no iverilog/vvp";
  ScratchDir d;
  const std::vector<std::vector<int>> sets = WordSets();
  std::string list;
  for (size_t k = 0; k < sets.size(); k++) {
    Image image;
    image.path = "m.mem";
    for (int w : sets[k]) image.words.push_back(bitify(w, kWordBits).cStr());
    image.comments.assign(kMemoryWords, "");
    const std::string name = "m" + std::to_string(k);
    WriteFile(d.path / (name + ".mem"), findformat("readmemb")->text(image));
    list += name + "\n";
  }
  WriteFile(d.path / "list.txt", list);
  WriteFile(d.path / "writeback.v",
            "module writeback;\n"
            "  reg [9:0] mem[0:31];\n"
            "  reg [8*64-1:0] name;\n"
            "  integer fd;\n"
            "  initial begin\n"
            "    fd = $fopen(\"list.txt\", \"r\");\n"
            "    while ($fscanf(fd, \"%s\\n\", name) == 1) begin\n"
            "      $readmemb({name, \".mem\"}, mem);\n"
            "      $writememh({name, \".hex\"}, mem);\n"
            "      $writememb({name, \".bin\"}, mem);\n"
            "    end\n"
            "    $fclose(fd);\n"
            "    $finish;\n"
            "  end\n"
            "endmodule\n");
  const Outcome build =
      RunProcess(d.path, {"iverilog", "-Wall", "-o", "writeback.vvp", "writeback.v"});
  ASSERT_EQ(0, build.status) << build.out << build.err;
  const Outcome run = RunProcess(d.path, {"vvp", "-n", "writeback.vvp"});
  ASSERT_EQ(0, run.status) << run.out << run.err;
  for (size_t k = 0; k < sets.size(); k++) {
    const std::string name = "m" + std::to_string(k);
    // Its own layout: an address comment before the words.
    EXPECT_EQ(0u, ReadFile(d.path / (name + ".hex")).rfind("// 0x00000000\n", 0));
    EXPECT_EQ(sets[k], Disassembled(d.path, name + ".hex")) << name;
    EXPECT_EQ(sets[k], Disassembled(d.path, name + ".bin")) << name;
  }
}

}  // namespace
