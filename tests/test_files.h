// File and text helpers shared by the tests and the fuzz targets: whole files
// in and out, the names in a directory, a console cut into lines, and
// whether the tests run under memcheck. They
// need nothing but the standard library, so that the fuzz targets, built
// without GoogleTest, use the same ones.

#ifndef ORVIX_TESTS_TEST_FILES_H_
#define ORVIX_TESTS_TEST_FILES_H_

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace orvix_test {

// The bytes of the file `path`; "" when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Makes `path` hold exactly `bytes`. A fixture that cannot be written is no
// test at all: the program stops, naming the path.
inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out.good()) {
    fprintf(stderr, "cannot write the fixture %s\n", path.string().c_str());
    abort();
  }
}

inline std::string Repeat(const std::string& piece, size_t times) {
  std::string s;
  s.reserve(piece.size() * times);
  for (size_t i = 0; i < times; i++) s += piece;
  return s;
}

// The names in directory `dir`, sorted.
inline std::vector<std::string> DirEntries(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The lines of `text`, without their newlines; a last line without one
// counts.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    lines.push_back(text.substr(pos, eol - pos));
    pos = eol + 1;
  }
  return lines;
}

// The lines of `console` that name a place in the source `source`
// ("<source>:<line>: ..."), when `located`; else all the others, which is
// what a run without warnings prints. Each kept line ends in a newline.
inline std::string LinesWhere(const std::string& console, const std::string& source, bool located) {
  std::string kept;
  const std::string place = source + ":";
  for (const std::string& line : Lines(console)) {
    if ((line.compare(0, place.size(), place) == 0) == located) kept += line + "\n";
  }
  return kept;
}

// Names each case of a parameterised test by its row's `name`, so that
// test names read as the table does.
struct ByName {
  template <class Info>
  std::string operator()(const Info& info) const {
    return info.param.name;
  }
};

// True when the test program runs under valgrind's memcheck, as the
// memcheck tests say in the environment. A test that cannot run there (it
// forks to watch a process die, counts allocations through its own
// operator new[], runs as another user, or takes minutes of emulation) skips
// itself, saying why, so that what runs under memcheck never depends on
// test names.
inline bool UnderMemcheck() { return getenv("ORVIX_MEMCHECK") != nullptr; }

}  // namespace orvix_test

#endif  // ORVIX_TESTS_TEST_FILES_H_
