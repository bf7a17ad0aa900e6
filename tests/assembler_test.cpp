// The assembler's functions on a table of 32 statement records: loading a
// file into the table, the jump address of a record, label lookup over all
// 32 records, and the writer on a table, an empty one included.

#include "orvix/orvix.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/orvix_run.h"

namespace {

using orvix_test::MifImage;
using orvix_test::ReadImage;
using orvix_test::Repeat;
using orvix_test::ScratchDir;
using orvix_test::WriteFile;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(LoadAsm, CountsPrintsAndFills) {
  ScratchDir dir;
  const struct {
    const char* name;
    std::string source;  // null-like "": no file
    int count;
    std::string console;  // after the path
  } cases[] = {
      {"two.asm", "; c\nstart: load 5\nj start\n", 2, "...\n"},
      {"none.asm", "; only a comment\n", 0, "...\n"},
      {"long.asm", Repeat("inc\n", 33), -1,
       "...\nToo many statements, ZRC memory holds 32 words, aborting..\n"},
      {"missing.asm", "", 0, ""},
  };
  for (const auto& c : cases) {
    std::string path = (dir.path / c.name).string();
    if (!c.source.empty()) WriteFile(path, c.source);
    instruction cmds[kMemoryWords];
    CaptureStdout();
    EXPECT_EQ(c.count, loadasm(cmds, &path[0])) << c.name;
    const std::string console = GetCapturedStdout();
    EXPECT_EQ(
        c.console.empty() ? "" : "Processing ZRC assembly source file '" + path + "'" + c.console,
        console);
    if (c.count == 2) {
      EXPECT_STREQ("start", cmds[0].label.cStr());
      EXPECT_EQ(5, cmds[0].data);
      EXPECT_STREQ("start", cmds[1].jmptarget.cStr());
      EXPECT_EQ(-1, cmds[1].data);
    }
  }
}

// Labels are looked up in all 32 records, filled or not, the first
// definition first; a numeric target of any sign is cut to 5 bits; a missing
// label is reported and gives address 0.
TEST(GetJmpAddr, NumbersAndLabelsOfAllRecords) {
  instruction cmds[kMemoryWords];
  cmds[0].label = "top";
  cmds[3].label = "x";
  cmds[30].label = "x";
  cmds[31].label = "far";
  const struct {
    const char* jmptarget;
    int data;
    int found;  // findlabel of the target
    const char* field;
    const char* console;
  } cases[] = {
      {"", 7, 1, "00111", ""},
      {"", 33, 1, "00001", ""},
      {"", -1, 1, "11111", ""},
      {"x", -1, 3, "00011", ""},
      {"far", -1, 31, "11111", ""},
      {"X", -1, -1, "00000", "Warning: Label 'X' in jump statement not found, using address 0\n"},
  };
  for (const auto& c : cases) {
    cmds[1].op = "j";
    cmds[1].jmptarget = c.jmptarget;
    cmds[1].data = c.data;
    EXPECT_EQ(c.found, findlabel(cmds, c.jmptarget)) << c.jmptarget;
    CaptureStdout();
    EXPECT_STREQ(c.field, getjmpaddr(cmds, 1).cStr()) << c.jmptarget << c.data;
    EXPECT_EQ(c.console, GetCapturedStdout());
  }
}

TEST(WriteAsm, TableToImage) {
  ScratchDir dir;
  std::string out = (dir.path / "out.mif").string();
  const struct {
    int ncmds;
    bool ok;
    std::string console;               // after the progress line
    std::vector<std::string> content;  // of the image; none when !ok
  } cases[] = {
      {0, true, "", {}},
      // A label beyond the statements is found: it is one of the 32 records.
      {2,
       true,
       "1000000101\n0001011111\n",
       {"\t0 : 1000000101 ; -- start:\t\tload 5", "\t1 : 0001011111 ; -- \t\tj end"}},
      {3, false, "1000000101\n0001011111\nUnknown ZRC instruction 'LOAD', aborting..\n", {}},
  };
  for (const auto& c : cases) {
    WriteFile(out, "stale");
    instruction cmds[kMemoryWords];
    cmds[0].label = "start";
    cmds[0].op = "load";
    cmds[0].data = 5;
    cmds[1].op = "j";
    cmds[1].jmptarget = "end";
    cmds[1].data = -1;
    cmds[2].op = "LOAD";
    cmds[31].label = "end";
    CaptureStdout();
    EXPECT_EQ(c.ok, writeasm(cmds, c.ncmds, &out[0]));
    EXPECT_EQ("Generating MIF output '" + out + "'\n" + c.console, GetCapturedStdout());
    EXPECT_EQ(c.ok ? MifImage(out, c.content) : "stale", ReadImage(out));
  }
}

}  // namespace
