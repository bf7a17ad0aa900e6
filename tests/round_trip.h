// The round trip of the end-to-end tables' sources: each source that
// assembles, its MIF image disassembled by the orvix under test (orvix -d),
// and that source assembled again, must give the same MIF image, byte for
// byte. The assemblies run in-process, through the writers the program is
// built with; the disassembly runs the program.

#ifndef ORVIX_TESTS_ROUND_TRIP_H_
#define ORVIX_TESTS_ROUND_TRIP_H_

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orvix/assembly.h"
#include "orvix/image.h"
#include "tests/orvix_run.h"

namespace orvix_test {

// The MIF image of `source` for the path p.mif, or "" when it does not
// assemble.
inline std::string MifOf(const std::string& source) {
  AssemblyOptions options;
  options.source = "p.asm";
  options.output = "p.mif";
  const Assembly a = assemble(source, options);
  return a.assembled() ? kFormats[0].text(imageof(a, "p.mif")) : "";
}

// Checks the round trip of every source in `sources` that assembles;
// returns how many did.
inline int ExpectRoundTrips(const std::vector<std::string>& sources) {
  int assembled = 0;
  ScratchDir d;
  for (const std::string& source : sources) {
    const std::string mif = MifOf(source);
    if (mif.empty()) continue;
    assembled++;
    WriteFile(d.path / "p.mif", mif);
    const Outcome r = RunOrvix(d.path, {"-d", "p.mif", "q.asm"});
    EXPECT_EQ(0, r.status) << source << r.out;
    EXPECT_EQ(kBanner + "Disassembling image 'p.mif'...\n", r.out);
    const std::string again = ReadImage(d.path / "q.asm");
    EXPECT_EQ(mif, MifOf(again)) << "the source:\n" << source << "\nwritten back:\n" << again;
  }
  return assembled;
}

}  // namespace orvix_test

#endif  // ORVIX_TESTS_ROUND_TRIP_H_
