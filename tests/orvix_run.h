// What the tests that run orvix share: the images orvix writes, the line
// ends it writes them with, a scratch directory, and one run of a program
// with its console captured. File helpers are in test_files.h.

#ifndef ORVIX_TESTS_ORVIX_RUN_H_
#define ORVIX_TESTS_ORVIX_RUN_H_

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "libcontainer/libcontainer.h"
#include "orvix/image.h"
#include "tests/image_text.h"
#include "tests/test_files.h"

namespace orvix_test {

// The banner after its first line, which names the version.
const std::string kBanner = "Supporting basic ZRC and parallel ZRC extensions.\n\n";

// The whole MIF image orvix writes to output path `path` (as given on its
// command line) for the given content lines ("\t<address> : <word> ; --
// <statement>"), zero words filling the rest.
inline std::string MifImage(const std::string& path, const std::vector<std::string>& content) {
  std::vector<std::pair<std::string, std::string>> words;
  for (const std::string& line : content) {
    const size_t word = line.find(" : ") + 3, comment = line.find(" ; -- ") + 6;
    words.emplace_back(line.substr(word, kWordBits), line.substr(comment));
  }
  return ImageText(kFormats[0], path, words);
}

// True when the orvix under test writes text with Windows' line ends (CR LF):
// a Windows build of the tests, or one that starts orvix.exe through a
// launcher and says so with ORVIX_TARGET=windows. Rows for what only POSIX
// systems have are skipped there.
inline bool WindowsTarget() {
#ifdef _WIN32
  return true;
#else
  const char* target = getenv("ORVIX_TARGET");
  return target != nullptr && std::string(target) == "windows";
#endif
}

// `text` as orvix wrote it in text mode, with LF line ends: on a Windows
// target each of its lines must end in CR LF, and the CR goes.
inline std::string FromTextMode(const std::string& text) {
  if (!WindowsTarget()) return text;
  std::string lf;
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      i++;
    } else if (text[i] == '\n') {
      ADD_FAILURE() << "a line end without CR at byte " << i << ": " << text;
    }
    lf += text[i];
  }
  return lf;
}

// The text file orvix wrote at `path` (an image), with LF line ends.
inline std::string ReadImage(const std::filesystem::path& path) {
  return FromTextMode(ReadFile(path));
}

// A fresh directory under the temporary directory ($TMPDIR or /tmp), removed
// with everything in it. Mode 0755, so that an unprivileged user can reach
// the files inside.
struct ScratchDir {
  std::filesystem::path path;
  ScratchDir() {
#ifdef _WIN32
    std::random_device random;
    for (int tries = 0; tries < 100 && path.empty(); tries++) {
      std::filesystem::path p =
          std::filesystem::temp_directory_path() / ("orvix_test_" + std::to_string(random()));
      if (std::filesystem::create_directory(p)) path = p;
    }
    if (path.empty()) ADD_FAILURE() << "no scratch directory";
#else
    std::string tmpl = (std::filesystem::temp_directory_path() / "orvix_test_XXXXXX").string();
    if (mkdtemp(&tmpl[0]) == nullptr) {
      ADD_FAILURE() << "mkdtemp " << tmpl << ": " << strerror(errno);
      return;
    }
    path = tmpl;
    std::filesystem::permissions(path, std::filesystem::perms(0755));
#endif
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
};

#ifndef _WIN32
// How to start a process.
struct RunOptions {
  uid_t uid = geteuid();  // run as this user (and group of the same number)
  std::string stdin_path = "/dev/null";
  std::string stdout_path;         // "" captures standard output; else it goes there
  bool close_stdout = false;       // start with standard output closed
  long long file_size_limit = -1;  // RLIMIT_FSIZE in bytes, SIGXFSZ ignored; -1: none
  int umask = -1;                  // file mode creation mask; -1: the caller's
  std::string program;             // RunOrvix: the binary to run; "": OrvixBin()
};

// One finished process.
struct Outcome {
  std::string out;         // standard output, when captured
  std::string err;         // standard error
  int status = -1;         // exit status; 128 + signal when killed
  long max_rss_kb = 0;     // peak resident memory
  double cpu_seconds = 0;  // processor time, user and system
};

// Reads everything from the two descriptors until both are closed.
inline void Drain(int out_fd, int err_fd, std::string& out, std::string& err) {
  char buf[4096];
  fd_set fds;
  while (out_fd >= 0 || err_fd >= 0) {
    FD_ZERO(&fds);
    if (out_fd >= 0) FD_SET(out_fd, &fds);
    if (err_fd >= 0) FD_SET(err_fd, &fds);
    if (select(std::max(out_fd, err_fd) + 1, &fds, nullptr, nullptr, nullptr) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    for (int* fd : {&out_fd, &err_fd}) {
      if (*fd < 0 || !FD_ISSET(*fd, &fds)) continue;
      ssize_t n = read(*fd, buf, sizeof buf);
      if (n > 0) {
        (fd == &out_fd ? out : err).append(buf, static_cast<size_t>(n));
      } else {
        close(*fd);
        *fd = -1;
      }
    }
  }
}

// Runs argv[0] (searched in PATH) in `dir` as `options` say.
inline Outcome RunProcess(const std::filesystem::path& dir, const std::vector<std::string>& argv,
                          const RunOptions& options = {}) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  Outcome run;
  int out[2], err[2];
  if (pipe(out) != 0) return run;
  if (pipe(err) != 0) {
    close(out[0]);
    close(out[1]);
    return run;
  }
  pid_t pid = fork();
  if (pid == 0) {
    int in = open(options.stdin_path.c_str(), O_RDONLY);
    if (in < 0 || dup2(in, 0) < 0 || dup2(err[1], 2) < 0) _exit(126);
    if (options.close_stdout) {
      close(1);
    } else if (!options.stdout_path.empty()) {
      int fd = open(options.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || dup2(fd, 1) < 0) _exit(126);
    } else if (dup2(out[1], 1) < 0) {
      _exit(126);
    }
    for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
    if (options.file_size_limit >= 0) {
      signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
      struct rlimit limit;
      limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(options.file_size_limit);
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
    }
    if (options.umask >= 0) ::umask(static_cast<mode_t>(options.umask));
    if (options.uid != geteuid() && (setgid(options.uid) != 0 || setuid(options.uid) != 0)) {
      _exit(126);
    }
    if (chdir(dir.c_str()) == 0) execvp(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  Drain(out[0], err[0], run.out, run.err);
  int status = 0;
  struct rusage usage;
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return run;
  run.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.max_rss_kb = usage.ru_maxrss;
  return run;
}

// The orvix binary under test ($ORVIX_BIN).
inline std::string OrvixBin() {
  const char* bin = getenv("ORVIX_BIN");
  EXPECT_NE(nullptr, bin) << "ORVIX_BIN not set";
  return bin ? bin : "orvix";
}

// The source tree ($ORVIX_SOURCE_DIR), for the example programs.
inline std::filesystem::path SourceDir() {
  const char* root = getenv("ORVIX_SOURCE_DIR");
  EXPECT_NE(nullptr, root) << "ORVIX_SOURCE_DIR not set";
  return root ? root : ".";
}

// Runs orvix (options.program, else $ORVIX_BIN) with `args` in `dir`. When
// standard output is captured, checks the first console line by its
// "ZRC Assembler." prefix and removes it, so that `out` starts with kBanner.
inline Outcome RunOrvix(const std::filesystem::path& dir, std::vector<std::string> args,
                        const RunOptions& options = {}) {
  args.insert(args.begin(), options.program.empty() ? OrvixBin() : options.program);
  Outcome run = RunProcess(dir, args, options);
  run.out = FromTextMode(run.out);
  run.err = FromTextMode(run.err);
  if (options.stdout_path.empty() && !options.close_stdout) {
    EXPECT_EQ(0u, run.out.rfind("ZRC Assembler.", 0))
        << "status " << run.status << "\nstandard output:\n"
        << run.out << "standard error:\n"
        << run.err;
    size_t eol = run.out.find('\n');
    run.out.erase(0, eol == std::string::npos ? run.out.size() : eol + 1);
  }
  return run;
}
// Runs orvix with `args` in `dir` and takes its console as it is: a quiet
// run prints no banner.
inline Outcome RunQuiet(const std::filesystem::path& dir, std::vector<std::string> args) {
  args.insert(args.begin(), OrvixBin());
  Outcome run = RunProcess(dir, args);
  run.out = FromTextMode(run.out);
  run.err = FromTextMode(run.err);
  return run;
}

#endif  // _WIN32

}  // namespace orvix_test

#endif  // ORVIX_TESTS_ORVIX_RUN_H_
