// The orvix binary against hostile and unusual inputs, output paths and
// consoles, one table row per case: the exact console text after the banner
// line, standard error, the exit status, what became of the output path, and
// that the directory holds nothing the run was not asked to leave there.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/orvix_run.h"

namespace fs = std::filesystem;

namespace {

using namespace orvix_test;

// An unprivileged account for the read-only row when the suite runs as root,
// for whom permission bits do not stop a write.
const uid_t kNobody = 65534;

// An earlier good image, which a failing run must leave byte for byte.
std::string EarlierImage(const std::string& path) {
  return MifImage(path, {"\t0 : 1100100000 ; -- \t\tinc 0"});
}

// Makes a source or an output path under the scratch directory given and
// returns the path to pass on the command line.
using Maker = std::function<std::string(const std::string& dir)>;

enum class Result {
  kAbsent,      // nothing exists at the output path
  kKept,        // the earlier image is still there, byte for byte
  kImage,       // the new image with `content` (at `image_at` for a link)
  kEmptyDir,    // still an empty directory
  kDevice,      // a device: nothing to look at
  kSourceKept,  // the output path is the source, which keeps its bytes
  kFifoImage,   // a reader of the FIFO received the new image
};

enum class Console { kCaptured, kDevFull, kClosed };

struct Row {
  const char* name;
  Maker source;
  Maker output;  // null: no output argument
  // The console after the banner line; {src} and {out} stand for the paths.
  std::string console;
  int status;
  Result result;
  std::vector<std::string> content = {};  // content lines of the new image
  std::string err = "";                   // standard error
  Console stdout_to = Console::kCaptured;
  long long file_size_limit = -1;
  int umask = -1;
  int mode = -1;                             // permission bits of the image afterwards; -1: any
  const char* image_at = nullptr;            // where a link's image lands, in the directory
  bool unprivileged = false;                 // run as an ordinary user even under root
  const char* not_under_memcheck = nullptr;  // why the row cannot run under valgrind
  std::vector<std::string> options = {};     // before the source on the command line
  bool windows_only = false;                 // what differs on Windows
  bool posix_only = false;                   // needs what only POSIX systems have
  bool held_open = false;                    // another program holds the output open
  bool drive_root = false;                   // orvix runs at the root of a drive of its own
  const char* windows_console = nullptr;     // the console there, when it differs

  Row& Err(const std::string& text) {
    err = text;
    return *this;
  }
  Row& Stdout(Console to) {
    stdout_to = to;
    return *this;
  }
  Row& SizeLimit(long long bytes) {
    file_size_limit = bytes;
    return *this;
  }
  Row& Umask(int bits) {
    umask = bits;
    return *this;
  }
  Row& Mode(int bits) {
    mode = bits;
    return *this;
  }
  Row& ImageAt(const char* name) {
    image_at = name;
    return *this;
  }
  // An ordinary user cannot use valgrind's files.
  Row& Unprivileged() {
    unprivileged = true;
    not_under_memcheck = "valgrind's files are not an ordinary user's";
    return *this;
  }
  Row& NotUnderMemcheck(const char* why) {
    not_under_memcheck = why;
    return *this;
  }
  Row& Options(const std::vector<std::string>& args) {
    options = args;
    return *this;
  }
  // Modes, symbolic links, other users, file size limits, devices and FIFOs
  // by path, a full or closed console: what Windows does not have.
  Row& PosixOnly() {
    posix_only = true;
    return *this;
  }
  Row& WindowsOnly() {
    windows_only = true;
    return *this;
  }
  Row& HeldOpen() {
    held_open = true;
    return *this;
  }
  // The scratch directory is the root of a drive, and orvix runs there:
  // a path from the drive's root names a file in it (Wine's drives:
  // $ORVIX_WINE_DRIVES).
  Row& AtDriveRoot() {
    drive_root = true;
    return *this;
  }
  Row& OnWindows(const char* console_there) {
    windows_console = console_there;
    return *this;
  }
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

// A file `name` holding what `make` returns, made when the row runs.
Maker Source(const char* name, std::function<std::string()> make) {
  return [name, make](const std::string& dir) {
    WriteFile(dir + "/" + name, make());
    return dir + "/" + name;
  };
}

Maker Source(const char* name, const std::string& bytes) {
  return Source(name, [bytes] { return bytes; });
}

// A file `name` holding `bytes`, passed on by its bare name.
Maker Here(const char* name, const std::string& bytes) {
  return [name, bytes](const std::string& dir) {
    WriteFile(dir + "/" + name, bytes);
    return std::string(name);
  };
}

// <dir>/<folder>/<name>, the folder a path of 300 characters and more:
// five levels of 60.
Maker InLongFolder(const char* name, bool made) {
  return [name, made](const std::string& dir) {
    std::string path = dir;
    for (int level = 0; level < 5; level++) {
      path += "/" + std::string(59, static_cast<char>('a' + level)) + "_";
      if (made) {
        EXPECT_EQ(0, mkdir(path.c_str(), 0755)) << path;
      }
    }
    return path + "/" + name;
  };
}

// A path that is passed on as it is; nothing is made.
Maker Fixed(const std::string& path) {
  return [path](const std::string&) { return path; };
}

// <dir>/<name>, made by nothing.
Maker InDir(const char* name) {
  return [name](const std::string& dir) { return dir + "/" + name; };
}

// <dir>/<name>, an empty directory.
Maker Directory(const char* name) {
  return [name](const std::string& dir) {
    std::string path = dir + "/" + name;
    EXPECT_EQ(0, mkdir(path.c_str(), 0755));
    return path;
  };
}

// <dir>/<name> holding an earlier image, with permission bits `mode`.
Maker Earlier(const char* name, mode_t mode = 0644) {
  return [name, mode](const std::string& dir) {
    std::string path = dir + "/" + name;
    WriteFile(path, EarlierImage(path));
    chmod(path.c_str(), mode);
    return path;
  };
}

// <dir>/<name>, a symbolic link to `target` (relative to the directory).
Maker Link(const char* name, const char* target, bool earlier_target) {
  return [=](const std::string& dir) {
    std::string path = dir + "/" + name;
    if (earlier_target) WriteFile(dir + "/" + target, EarlierImage(path));
    EXPECT_EQ(0, symlink(target, path.c_str()));
    return path;
  };
}

template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

// An object file's first bytes, a line of high bytes, a line of NULs, and
// control bytes without a final newline.
const char kBinary[] =
    "\x7f"
    "ELF\x02\x01\x01\0\0\0\0\x03\0>\0\n"
    "\xff\xfe\x80\x81 \x90\x91\n"
    "\0\0\0\0\n"
    "\x01\x02\x03";
// NUL bytes inside statement lines and at the start of one.
const char kNulLines[] = "load 5\0; junk\nadd 3\0\0\0x\n\0inc\nj 0\n";

const char kStatement[] = "load 5\n";
const std::vector<std::string> kStatementImage = {"\t0 : 1000000101 ; -- \t\tload 5"};

const char kProcessing[] = "Processing ZRC assembly source file '{src}'...\n";
const char kReadError[] = "orvix: Error reading source file {src}.\n";
const char kGenerating[] = "Generating MIF output '{out}'\n";
const char kCannotWrite[] =
    "Cannot write MIF output '{out}', aborting..\n"
    "orvix: Error generating machine code.\n";
const char kTooMany[] = "Too many statements, ZRC memory holds 32 words, aborting..\n";
const char kIsSource[] = "orvix: Output file {out} is the source file.\n";
const char kStdoutFailed[] = "orvix: Error writing to standard output.\n";

std::string Cat(std::initializer_list<std::string> parts) {
  std::string s;
  for (const std::string& p : parts) s += p;
  return s;
}

// The console of a run that writes the one statement of kStatement.
const std::string kWritten = Cat({kProcessing, kGenerating, "1000000101\n"});
const std::string kNotWritten = kWritten + kCannotWrite;

const std::vector<Row>& Rows() {
  // A long line is read in pieces of 1023 bytes.
  static const std::vector<Row> rows = {
      {"MissingSourceKeepsTheOldImage", InDir("missing.asm"), Earlier("out.mif"), kReadError, 1,
       Result::kKept},
      // A directory opens for reading on Linux, and its first read fails; on
      // Windows it cannot be opened.
      Row{"DirectorySource", Directory("srcdir"), InDir("out.mif"),
          Cat({kProcessing, "Error reading ZRC assembly source file '{src}', aborting..\n",
               kReadError}),
          1, Result::kAbsent}
          .OnWindows(kReadError),
      // With -W the system's reason comes first.
      Row{"MissingSourceWithReason", InDir("missing.asm"), Earlier("out.mif"),
          Cat({"{src}: error: cannot open: No such file or directory\n", kReadError}), 1,
          Result::kKept}
          .Options({"-W"}),
      Row{"DirectorySourceWithReason", Directory("srcdir"), InDir("out.mif"),
          Cat({kProcessing, "{src}: error: cannot read: Is a directory\n",
               "Error reading ZRC assembly source file '{src}', aborting..\n", kReadError}),
          1, Result::kAbsent}
          .Options({"-W"})
          .PosixOnly(),
      Row{"DevNullSource", Fixed("/dev/null"), Earlier("out.mif"), Cat({kProcessing, kReadError}),
          1, Result::kKept}
          .PosixOnly(),
      // A NUL byte ends the text of its line; the first line's text is not an
      // instruction.
      {"BinarySource", Source("binary.asm", Bytes(kBinary)), Earlier("out.mif"),
       Cat({kProcessing, kGenerating,
            "Unknown ZRC instruction '\x7f"
            "ELF\x02\x01\x01', aborting..\n",
            "orvix: Error generating machine code.\n"}),
       1, Result::kKept},
      {"NulBytesInLines",
       Source("nulbytes.asm", Bytes(kNulLines)),
       Earlier("out.mif"),
       Cat({kProcessing, kGenerating, "1000000101\n0011000011\n0001000000\n"}),
       0,
       Result::kImage,
       {"\t0 : 1000000101 ; -- \t\tload 5", "\t1 : 0011000011 ; -- \t\tadd 3",
        "\t2 : 0001000000 ; -- \t\tj 0"}},
      // 10 MB of blanks in whole pieces, then the statement in a piece of its
      // own: every blank piece is skipped.
      {"BlankLine10Mb",
       Source("blank10mb.asm", [] { return Repeat(" ", 1023 * 10250) + "load 1\n"; }),
       InDir("out.mif"),
       Cat({kProcessing, kGenerating, "1000000001\n"}),
       0,
       Result::kImage,
       {"\t0 : 1000000001 ; -- \t\tload 1"}},
      // Each 1023-byte piece of a 10 MB word is a statement of its own: far
      // more than memory holds.
      {"WordLine10Mb", Source("word10mb.asm", [] { return Repeat("x", 10 << 20) + "\n"; }),
       Earlier("out.mif"), Cat({kProcessing, kTooMany, kReadError}), 1, Result::kKept},
      // 1 GiB of NUL bytes, sparse: every piece reads as an empty line.
      Row{"Sparse1GbOfNul",
          [](const std::string& dir) {
            std::string path = dir + "/sparse.asm";
            int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            EXPECT_EQ(ftruncate(fd, 1L << 30), 0);
            close(fd);
            return path;
          },
          InDir("out.mif"), Cat({kProcessing, kReadError}), 1, Result::kAbsent}
          .NotUnderMemcheck("reading 1 GiB takes minutes under valgrind")
          .PosixOnly(),
      {"Comments100kThenStatement",
       Source("comments.asm",
              [] { return Repeat("\n  ; a comment line\n \t\r\n;\n", 25000) + "  inc ; last\n"; }),
       InDir("out.mif"),
       Cat({kProcessing, kGenerating, "1100100000\n"}),
       0,
       Result::kImage,
       {"\t0 : 1100100000 ; -- \t\tinc 0"}},

      // The output path names the source: refused before anything is read.
      {"OutputIsTheSourcePath", Source("prog.asm", kStatement), InDir("prog.asm"), kIsSource, 1,
       Result::kSourceKept},
      {"OutputIsTheSourceSpelledOtherwise",
       [](const std::string& dir) {
         WriteFile(dir + "/prog.asm", kStatement);
         return std::string("prog.asm");
       },
       InDir("./prog.asm"), kIsSource, 1, Result::kSourceKept},
      {"OutputIsALinkToTheSource", Source("prog.asm", kStatement),
       Link("link.asm", "prog.asm", false), kIsSource, 1, Result::kSourceKept},
      {"OutputIsAHardLinkToTheSource", Source("prog.asm", kStatement),
       [](const std::string& dir) {
         std::string path = dir + "/hard.asm";
         EXPECT_EQ(0, link((dir + "/prog.asm").c_str(), path.c_str()));
         return path;
       },
       kIsSource, 1, Result::kSourceKept},

      // Sources saved by Windows editors, on every system: a UTF-8 byte order
      // mark is no part of the text; UTF-16 is not read, and with -W the
      // reason is told.
      {"ByteOrderMarkIsNoText", Source("bom.asm", "\xef\xbb\xbf" + std::string(kStatement)),
       InDir("out.mif"), kWritten, 0, Result::kImage, kStatementImage},
      {"Utf16SourceIsNotRead", Source("utf16.asm", Bytes("\xff\xfel\0o\0a\0d\0 \0005\0\n\0")),
       Earlier("out.mif"),
       Cat({kProcessing, "Error reading ZRC assembly source file '{src}', aborting..\n",
            kReadError}),
       1, Result::kKept},
      Row{"Utf16SourceWithReason", Source("utf16.asm", Bytes("\xfe\xff\0l\0o\0a\0d\0 \0005\0\n")),
          Earlier("out.mif"),
          Cat({kProcessing,
               "{src}: error: cannot read: the source is UTF-16 text; save it as UTF-8\n",
               "Error reading ZRC assembly source file '{src}', aborting..\n", kReadError}),
          1, Result::kKept}
          .Options({"-W"}),

      // Names in UTF-8, outside any one ANSI code page.
      {"NonAsciiNames",
       Source("\xc3\x9c"
              "bung \xce\xb1\xce\xb2.asm",
              kStatement),
       InDir("\xc3\x9c"
             "bung \xce\xb1\xce\xb2.mif"),
       kWritten, 0, Result::kImage, kStatementImage},
      // Windows compares file identities: another spelling of the source, in
      // other letter case, is the source.
      Row{"OutputIsTheSourceInOtherCase", Source("prog.asm", kStatement), InDir("PROG.ASM"),
          kIsSource, 1, Result::kSourceKept}
          .WindowsOnly(),
      // A file with the read-only attribute is refused; the device NUL is
      // written in place, and no file named NUL is made.
      Row{"OutputReadOnlyAttribute", Source("ok.asm", kStatement), Earlier("out.mif", 0444),
          kNotWritten, 1, Result::kKept}
          .WindowsOnly(),
      Row{"OutputNul", Source("ok.asm", kStatement), Fixed("NUL"), kWritten, 0, Result::kDevice}
          .WindowsOnly(),
      // The source is read in text mode: on Windows a Ctrl-Z byte ends it.
      Row{"CtrlZEndsTheSource", Source("ctrlz.asm", "load 5\n\x1ainc\n"), InDir("out.mif"),
          kWritten, 0, Result::kImage, kStatementImage}
          .WindowsOnly(),
      // With -W it is told where text follows it, not where line ends alone do.
      Row{"CtrlZWithReason", Source("ctrlz.asm", "load 5\n\x1ainc\n"), InDir("out.mif"),
          Cat({kProcessing,
               "{src}:2: warning: a Ctrl-Z byte ends the source here; the rest is not read\n",
               kGenerating, "1000000101\n"}),
          0, Result::kImage, kStatementImage}
          .Options({"-W"})
          .WindowsOnly(),
      Row{"CtrlZBeforeLineEnds", Source("ctrlz.asm", "load 5\r\n\x1a\r\n"), InDir("out.mif"),
          kWritten, 0, Result::kImage, kStatementImage}
          .Options({"-W"})
          .WindowsOnly(),
      // "/" separates as a backslash does: "/out.mif" is a file at the root
      // of the current drive.
      Row{"OutputAtTheDriveRoot", Here("ok.asm", kStatement), Fixed("/out.mif"), kWritten, 0,
          Result::kImage, kStatementImage}
          .ImageAt("out.mif")
          .AtDriveRoot()
          .WindowsOnly(),
      Row{"OutputAtTheDriveRootWithBackslash", Here("ok.asm", kStatement), Fixed("\\out.mif"),
          kWritten, 0, Result::kImage, kStatementImage}
          .ImageAt("out.mif")
          .AtDriveRoot()
          .WindowsOnly(),
      // A simulator holds the image open without sharing its deletion: it
      // cannot be replaced, and stays whole.
      Row{"OutputHeldOpenByAnotherProgram", Source("ok.asm", kStatement), Earlier("out.mif"),
          kNotWritten, 1, Result::kKept}
          .WindowsOnly()
          .HeldOpen(),

      // Regular files are replaced whole; their permission bits stay.
      Row{"ReplacedImageKeepsMode0640", Source("ok.asm", kStatement), Earlier("out.mif", 0640),
          kWritten, 0, Result::kImage, kStatementImage}
          .PosixOnly(),
      Row{"ReplacedImageKeepsMode0604", Source("ok.asm", kStatement), Earlier("out.mif", 0604),
          kWritten, 0, Result::kImage, kStatementImage}
          .PosixOnly(),
      Row{"NewImageGetsModeByUmask", Source("ok.asm", kStatement), InDir("out.mif"), kWritten, 0,
          Result::kImage, kStatementImage}
          .Umask(002)
          .Mode(0664)
          .PosixOnly(),
      Row{"LinkIsFollowed", Source("ok.asm", kStatement), Link("out.mif", "target.mif", true),
          kWritten, 0, Result::kImage, kStatementImage}
          .ImageAt("target.mif")
          .PosixOnly(),
      Row{"DanglingLinkCreatesItsTarget", Source("ok.asm", kStatement),
          Link("out.mif", "new.mif", false), kWritten, 0, Result::kImage, kStatementImage}
          .ImageAt("new.mif")
          .PosixOnly(),
      // A write that fails part way leaves the earlier image and no partial one.
      Row{"FileSizeLimitKeepsTheOldImage", Source("ok.asm", kStatement), Earlier("out.mif"),
          kNotWritten, 1, Result::kKept}
          .SizeLimit(200)
          .PosixOnly(),
      Row{"FileSizeLimitWithReason", Source("ok.asm", kStatement), Earlier("out.mif"),
          kWritten + "{out}: error: cannot write: File too large\n" + kCannotWrite, 1,
          Result::kKept}
          .SizeLimit(200)
          .Options({"--warnings"})
          .PosixOnly(),
      {"OutputIsDirectory", Source("ok.asm", kStatement), Directory("outdir"), kNotWritten, 1,
       Result::kEmptyDir},
      {"OutputInMissingDirectory", Source("ok.asm", kStatement), InDir("nowhere/out.mif"),
       kNotWritten, 1, Result::kAbsent},
      // A path of any length: past Windows' 260 characters it is written in
      // full, or refused, never overrun.
      {"OutputInLongFolder", Source("ok.asm", kStatement), InLongFolder("out.mif", true), kWritten,
       0, Result::kImage, kStatementImage},
      Row{"OutputInLongMissingFolder", Source("ok.asm", kStatement),
          InLongFolder("out.mif", false),
          kWritten + "{out}: error: cannot write: No such file or directory\n" + kCannotWrite, 1,
          Result::kAbsent}
          .Options({"-W"}),
      // An empty path names no file, on every system alike.
      Row{"EmptyOutputPath", Source("ok.asm", kStatement), Fixed(""),
          kWritten + "{out}: error: cannot write: No such file or directory\n" + kCannotWrite, 1,
          Result::kAbsent}
          .Options({"-W"}),
      Row{"EmptySourcePath", Fixed(""), InDir("out.mif"),
          Cat({"{src}: error: cannot open: No such file or directory\n", kReadError}), 1,
          Result::kAbsent}
          .Options({"-W"}),
      // A file the user may not write is refused, though its directory might
      // take a new one.
      Row{"OutputReadOnly", Source("ok.asm", kStatement), Earlier("out.mif", 0444), kNotWritten, 1,
          Result::kKept}
          .Unprivileged()
          .PosixOnly(),
      Row{"OutputReadOnlyWithReason", Source("ok.asm", kStatement), Earlier("out.mif", 0444),
          kWritten + "{out}: error: cannot write: Permission denied\n" + kCannotWrite, 1,
          Result::kKept}
          .Unprivileged()
          .Options({"-W"})
          .PosixOnly(),
      // Devices and FIFOs are written in place. /dev/full opens; the full
      // device shows when the buffered image is written out.
      Row{"OutputDevFull", Source("ok.asm", kStatement), Fixed("/dev/full"), kNotWritten, 1,
          Result::kDevice}
          .PosixOnly(),
      Row{"OutputDevNull", Source("ok.asm", kStatement), Fixed("/dev/null"), kWritten, 0,
          Result::kDevice}
          .PosixOnly(),
      Row{"OutputDevStdout", Source("ok.asm", kStatement), Fixed("/dev/stdout"),
          kWritten + MifImage("/dev/stdout", kStatementImage), 0, Result::kDevice}
          .PosixOnly(),
      Row{"OutputFifo", Source("ok.asm", kStatement),
          [](const std::string& dir) {
            EXPECT_EQ(0, mkfifo((dir + "/out.fifo").c_str(), 0644));
            return dir + "/out.fifo";
          },
          kWritten, 0, Result::kFifoImage, kStatementImage}
          .PosixOnly(),

      // A console that cannot be written fails the run; standard error says so.
      Row{"StdoutFullWithImage", Source("ok.asm", kStatement), InDir("out.mif"), "", 1,
          Result::kImage, kStatementImage}
          .Stdout(Console::kDevFull)
          .Err(kStdoutFailed)
          .PosixOnly(),
      Row{"StdoutFullWithoutOutput", Source("ok.asm", kStatement), nullptr, "", 1, Result::kAbsent}
          .Stdout(Console::kDevFull)
          .Err(kStdoutFailed)
          .PosixOnly(),
      Row{"StdoutFullFailedAssembly", Source("bad.asm", "bad\n"), Earlier("out.mif"), "", 1,
          Result::kKept}
          .Stdout(Console::kDevFull)
          .Err(kStdoutFailed)
          .PosixOnly(),
      // The image on standard output fails the run as the console would.
      Row{"StdoutFullWithImageOnIt", Source("ok.asm", kStatement), nullptr, "", 1, Result::kAbsent}
          .Stdout(Console::kDevFull)
          .Err(kStdoutFailed)
          .Options({"-o", "-"})
          .PosixOnly(),
      Row{"StdoutClosedWithImage", Source("ok.asm", kStatement), Earlier("out.mif"), "", 1,
          Result::kImage, kStatementImage}
          .Stdout(Console::kClosed)
          .Err(kStdoutFailed)
          .PosixOnly(),
      Row{"StdoutClosedWithoutOutput", Source("ok.asm", kStatement), nullptr, "", 1,
          Result::kAbsent}
          .Stdout(Console::kClosed)
          .Err(kStdoutFailed)
          .PosixOnly(),
  };
  return rows;
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
    s.replace(at, from.size(), to);
  }
}

// `path` as seen from `dir`, where orvix runs.
std::string InRunDir(const std::string& dir, const std::string& path) {
  return path.empty() || path[0] == '/' ? path : dir + "/" + path;
}

// Reads everything written to the FIFO `path` while it lives; Finish makes
// sure the reader ends even when no writer ever opened the FIFO.
class FifoReader {
 public:
  explicit FifoReader(const std::string& path)
      : path_(path), thread_([this] {
          int fd = open(path_.c_str(), O_RDONLY);
          char buf[4096];
          ssize_t n;
          while (fd >= 0 && (n = read(fd, buf, sizeof buf)) > 0) bytes_.append(buf, n);
          if (fd >= 0) close(fd);
          done_ = true;
        }) {}
  std::string Finish() {
    while (!done_) {
      int fd = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) close(fd);
      usleep(1000);
    }
    thread_.join();
    return bytes_;
  }

 private:
  std::string path_;
  std::string bytes_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

class BadInput : public testing::TestWithParam<Row> {
 protected:
  ScratchDir scratch_;
  const std::string dir_ = scratch_.path.string();
};

TEST_P(BadInput, ConsoleStatusAndFiles) {
  const Row& row = GetParam();
  if (row.not_under_memcheck && UnderMemcheck()) GTEST_SKIP() << row.not_under_memcheck;
  if (WindowsTarget() && row.posix_only) GTEST_SKIP() << "POSIX only";
  if (!WindowsTarget() && row.windows_only) GTEST_SKIP() << "Windows only";
  const std::string src = row.source(dir_);
  const std::string out = row.output ? row.output(dir_) : "";

  RunOptions options;
  options.file_size_limit = row.file_size_limit;
  options.umask = row.umask;
  if (row.stdout_to == Console::kDevFull) options.stdout_path = "/dev/full";
  options.close_stdout = row.stdout_to == Console::kClosed;
  if (row.unprivileged && geteuid() == 0) {
    // Root writes through mode 0444; an ordinary user cannot. The copy of the
    // binary lets that user run it wherever the build tree lies.
    options.uid = kNobody;
    options.program = dir_ + "/orvix";
    fs::copy_file(OrvixBin(), options.program);
    fs::permissions(options.program, fs::perms(0755));
  }
  const std::string source_bytes =
      row.result == Result::kSourceKept ? ReadFile(InRunDir(dir_, src)) : "";
  struct stat before, st;
  const bool existed = !out.empty() && lstat(InRunDir(dir_, out).c_str(), &before) == 0;
  std::set<std::string> entries;
  for (const std::string& name : DirEntries(dir_)) entries.insert(name);
  const std::string image_path = InRunDir(dir_, row.image_at ? row.image_at : out);
  if (row.result == Result::kImage && fs::path(image_path).parent_path() == dir_) {
    entries.insert(fs::path(image_path).filename().string());
  }

  std::vector<std::string> args = row.options;
  args.push_back(src);
  if (row.output) args.push_back(out);
  std::unique_ptr<FifoReader> fifo;
  if (row.result == Result::kFifoImage) fifo.reset(new FifoReader(out));
  // The holder ($ORVIX_HOLD_OPEN, a Windows program) keeps the output open
  // until a file appears in a directory of its own.
  ScratchDir release_dir;
  const std::string release = (release_dir.path / "release").string();
  FILE* holder = nullptr;
  if (row.held_open) {
    const char* hold = getenv("ORVIX_HOLD_OPEN");
    ASSERT_NE(nullptr, hold) << "ORVIX_HOLD_OPEN not set";
    holder = popen((std::string(hold) + " '" + out + "' '" + release + "'").c_str(), "r");
    ASSERT_NE(nullptr, holder);
    char held[16] = "";
    ASSERT_NE(nullptr, fgets(held, sizeof held, holder));
    ASSERT_EQ(0, strncmp(held, "held", 4)) << held;
  }
  // A drive whose root is the scratch directory: Wine runs orvix on the
  // deepest drive that holds its directory. The test programs run at once
  // share Wine's drives: each row takes a letter no other holds, the first
  // free one from d: on, which its link claims at once.
  std::string drive;
  if (row.drive_root) {
    const char* drives = getenv("ORVIX_WINE_DRIVES");
    ASSERT_NE(nullptr, drives) << "ORVIX_WINE_DRIVES not set";
    for (char letter = 'd'; letter <= 'y' && drive.empty(); letter++) {
      const std::string link = std::string(drives) + "/" + letter + ":";
      if (symlink(dir_.c_str(), link.c_str()) == 0) drive = link;
    }
    ASSERT_FALSE(drive.empty()) << "every drive from d: to y: is taken in " << drives;
  }
  Outcome run = RunOrvix(dir_, args, options);
  if (!drive.empty()) unlink(drive.c_str());
  if (holder != nullptr) {
    WriteFile(release, "");
    EXPECT_EQ(0, pclose(holder));
  }

  const std::string console =
      WindowsTarget() && row.windows_console ? row.windows_console : row.console;
  std::string expected = row.stdout_to == Console::kCaptured ? kBanner + console : "";
  ReplaceAll(expected, "{src}", src);
  ReplaceAll(expected, "{out}", out);
  EXPECT_EQ(expected, run.out);
  EXPECT_EQ(row.err, run.err);
  EXPECT_EQ(row.status, run.status);

  switch (row.result) {
    case Result::kAbsent:
      if (!out.empty()) {
        EXPECT_NE(lstat(out.c_str(), &st), 0) << out << " exists";
      }
      break;
    case Result::kKept:
      EXPECT_EQ(EarlierImage(out), ReadFile(out));
      break;
    case Result::kImage:
      EXPECT_EQ(MifImage(out, row.content), ReadImage(image_path));
      break;
    case Result::kEmptyDir:
      EXPECT_TRUE(fs::is_directory(out) && fs::is_empty(out));
      break;
    case Result::kDevice:
      break;
    case Result::kSourceKept:
      EXPECT_EQ(source_bytes, ReadFile(InRunDir(dir_, src)));
      break;
    case Result::kFifoImage:
      EXPECT_EQ(MifImage(out, row.content), fifo->Finish());
      break;
  }
  // What the output path named is still of its kind (a link stays a link);
  // its permission bits are as the row says.
  if (existed) {
    ASSERT_EQ(0, lstat(InRunDir(dir_, out).c_str(), &st));
    EXPECT_EQ(before.st_mode & S_IFMT, st.st_mode & S_IFMT);
    if (!S_ISLNK(st.st_mode)) {
      EXPECT_EQ(before.st_mode & 07777, st.st_mode & 07777);
    }
  }
  if (row.mode >= 0) {
    ASSERT_EQ(0, stat(image_path.c_str(), &st));
    EXPECT_EQ(row.mode, static_cast<int>(st.st_mode & 07777));
  }
  // No temporary or partial file is left beside the source and the image.
  EXPECT_EQ(std::vector<std::string>(entries.begin(), entries.end()), DirEntries(dir_));

  // Large inputs stream through a fixed buffer: no run may need memory in
  // proportion to its input, nor take long. Long is counted in processor
  // time, which a busy machine does not stretch as it does the wall clock.
  EXPECT_LT(run.max_rss_kb, 256 * 1024);
  EXPECT_LT(run.cpu_seconds, 60.0);
}

INSTANTIATE_TEST_SUITE_P(Matrix, BadInput, testing::ValuesIn(Rows()), orvix_test::ByName());

}  // namespace
