// In-process tests of reading the command line: argument vectors in, what
// the run is asked to do out (its files, format and switches), or the usage
// error it must report. What the user then sees of a usage error, and that a
// command line of two plain arguments is unchanged, is pinned end to end in
// orvix_formats_test.cpp.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orvix/cmdline.h"
#include "tests/test_files.h"

namespace {

// What reading `args` gives, in one line: "usage", "help", "version",
// "error: <message>", or the source followed by every setting that differs
// from its default.
std::string Read(std::vector<std::string> args) {
  args.insert(args.begin(), "orvix");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  CommandLine cl;
  String error;
  switch (readcommandline(static_cast<int>(args.size()), argv.data(), cl, error)) {
    case ACTION_USAGE:
      return "usage";
    case ACTION_HELP:
      return "help";
    case ACTION_VERSION:
      return "version";
    case ACTION_SERVE:
      return "serve";
    case ACTION_ERROR:
      return std::string("error: ") + error.cStr() + (cl.quiet ? " (quiet)" : "");
    case ACTION_ASSEMBLE:
      break;
  }
  std::string s = std::string("source=") + cl.source;
  if (cl.output != nullptr) s += std::string(" output=") + cl.output;
  if (cl.image_to_stdout) s += " output=<stdout>";
  if (cl.listing != nullptr) s += std::string(" listing=") + cl.listing;
  if (cl.format != &kFormats[0]) s += std::string(" format=") + cl.format->name;
  if (cl.quiet) s += " quiet";
  if (cl.warnings) s += " warnings";
  if (cl.strict) s += " strict";
  if (cl.disassemble) s += " disassemble";
  return s;
}

struct Row {
  const char* name;
  std::vector<std::string> args;
  std::string read;  // what Read gives
};

const Row kRows[] = {
    // No option: one or two plain arguments mean the source and the output.
    {"NoArgument", {}, "usage"},
    {"SourceAlone", {"in.asm"}, "source=in.asm"},
    {"SourceAndOutput", {"in.asm", "out.mif"}, "source=in.asm output=out.mif"},
    {"LoneDashIsAFileName", {"-", "-"}, "source=- output=-"},
    {"ThreeArguments", {"in.asm", "out.mif", "x"}, "error: too many arguments"},

    // Options wherever they stand, until "--".
    {"OutputBefore", {"-o", "out.img", "in.asm"}, "source=in.asm output=out.img"},
    {"OutputAfter", {"in.asm", "-o", "out.img"}, "source=in.asm output=out.img"},
    {"LongOutput", {"--output", "out.img", "in.asm"}, "source=in.asm output=out.img"},
    {"LongOutputWithEquals", {"in.asm", "--output=out.img"}, "source=in.asm output=out.img"},
    {"WarningsAfterBothFiles",
     {"in.asm", "out.mif", "-W"},
     "source=in.asm output=out.mif warnings"},
    {"WarningsBeforeBothFiles",
     {"-W", "in.asm", "out.mif"},
     "source=in.asm output=out.mif warnings"},
    {"WarningsBetweenTheFiles",
     {"in.asm", "--warnings", "out.mif"},
     "source=in.asm output=out.mif warnings"},
    {"Strict", {"--strict", "in.asm"}, "source=in.asm warnings strict"},
    {"FormatAfterTheFiles",
     {"in.asm", "out.img", "-f", "coe"},
     "source=in.asm output=out.img format=coe"},
    {"LongFormat", {"--format", "readmemb", "in.asm"}, "source=in.asm format=readmemb"},
    {"LongFormatWithEquals", {"--format=readmemh", "in.asm"}, "source=in.asm format=readmemh"},
    {"MifByName", {"-f", "mif", "in.asm"}, "source=in.asm"},
    {"LogisimFormat", {"in.asm", "-f", "logisim"}, "source=in.asm format=logisim"},
    {"VhdlFormat", {"--format=vhdl", "in.asm"}, "source=in.asm format=vhdl"},
    {"LastFormatCounts",
     {"-f", "coe", "in.asm", "-f", "readmemb"},
     "source=in.asm format=readmemb"},
    {"DoubleDashEndsOptions", {"--", "-x.asm", "-odd.mif"}, "source=-x.asm output=-odd.mif"},
    {"OptionsBeforeDoubleDash", {"-f", "coe", "--", "-x.asm"}, "source=-x.asm format=coe"},
    {"SecondDoubleDashIsAFile", {"in.asm", "--", "--"}, "source=in.asm output=--"},
    // An option's argument is the next word, whatever it looks like.
    {"OutputLooksLikeAnOption", {"-o", "-W", "in.asm"}, "source=in.asm output=-W"},
    {"OutputIsDoubleDash", {"in.asm", "-o", "--"}, "source=in.asm output=--"},
    {"ListingLooksLikeAnOption", {"in.asm", "-l", "--help"}, "source=in.asm listing=--help"},

    // Standard output, quiet runs and listings.
    {"OutputToStandardOutput", {"-o", "-", "in.asm"}, "source=in.asm output=<stdout> quiet"},
    {"LongOutputToStandardOutput", {"in.asm", "--output=-"}, "source=in.asm output=<stdout> quiet"},
    {"Quiet", {"in.asm", "out.mif", "-q"}, "source=in.asm output=out.mif quiet"},
    {"LongQuiet", {"--quiet", "in.asm"}, "source=in.asm quiet"},
    {"Listing", {"in.asm", "-l", "in.lst"}, "source=in.asm listing=in.lst"},
    {"LongListing", {"--listing", "in.lst", "in.asm"}, "source=in.asm listing=in.lst"},
    {"LongListingWithEquals",
     {"in.asm", "o.mif", "--listing=in.lst"},
     "source=in.asm output=o.mif listing=in.lst"},
    {"SwitchesDoNotCluster", {"-qW", "in.asm"}, "error: unknown option '-qW'"},

    // Disassembling: the image, then the source, which goes to standard
    // output (quietly) when not named or "-"; nothing that only an assembly
    // takes.
    {"Disassemble", {"-d", "p.mif"}, "source=p.mif output=<stdout> quiet disassemble"},
    {"DisassembleToAFile",
     {"p.mif", "q.asm", "--disassemble"},
     "source=p.mif output=q.asm disassemble"},
    {"DisassembleDashIsStandardOutput",
     {"-d", "p.mif", "-"},
     "source=p.mif output=<stdout> quiet disassemble"},
    {"DisassembleWithOutputOption",
     {"-W", "-d", "-o", "q.asm", "p.mif"},
     "source=p.mif output=q.asm warnings disassemble"},
    {"DisassembleWithFormat",
     {"-d", "-f", "coe", "p.mif", "q.asm"},
     "error: option '--format' does not go with --disassemble"},
    {"DisassembleWithListing",
     {"p.mif", "--listing=x", "-d"},
     "error: option '--listing' does not go with --disassemble (quiet)"},
    {"DisassembleNeedsAnImage", {"-d"}, "error: no input file"},
    {"DisassembleThreeArguments", {"-d", "a", "b", "c"}, "error: too many arguments"},

    // Help and version need no source; the first deciding option wins.
    {"Help", {"--help"}, "help"},
    {"ShortHelp", {"-h"}, "help"},
    {"HelpAfterTheSource", {"in.asm", "--help"}, "help"},
    {"HelpIgnoresTooManyArguments", {"--help", "a", "b", "c"}, "help"},
    {"Version", {"-V"}, "version"},
    {"VersionAfterOptions", {"-o", "out.mif", "--version", "in.asm"}, "version"},
    {"ErrorBeforeHelp", {"-x", "--help"}, "error: unknown option '-x'"},
    {"HelpBeforeError", {"--help", "-x"}, "help"},
    // The language server reads no file: it takes what the editor sends.
    {"LanguageServer", {"--lsp"}, "serve"},
    {"LanguageServerBeforeHelp", {"--lsp", "--help", "in.asm"}, "serve"},
    {"LanguageServerTakesNoArgument", {"--lsp=stdio"}, "error: option '--lsp' takes no argument"},

    // Usage errors.
    {"UnknownLongOption", {"--bogus", "in.asm", "out.mif"}, "error: unknown option '--bogus'"},
    {"UnknownLongOptionWithValue", {"--bogus=1", "in.asm"}, "error: unknown option '--bogus'"},
    {"UnknownShortOption", {"in.asm", "-x"}, "error: unknown option '-x'"},
    // A letter with more attached is no option with a value: the user may
    // have meant a file whose name begins with '-'.
    {"ValueAttachedToOutput", {"prog.asm", "-odd.mif"}, "error: unknown option '-odd.mif'"},
    {"ValueAttachedToFormat", {"-fcoe", "in.asm"}, "error: unknown option '-fcoe'"},
    {"LettersAttachedToASwitch", {"-Wx", "in.asm"}, "error: unknown option '-Wx'"},
    {"LongSwitchWithValue",
     {"--warnings=yes", "in.asm"},
     "error: option '--warnings' takes no argument"},
    {"QuietWithValue", {"--quiet=1", "in.asm"}, "error: option '--quiet' takes no argument"},
    {"OutputWithoutArgument", {"in.asm", "-o"}, "error: option '-o' needs an argument"},
    {"LongOutputWithoutArgument", {"--output"}, "error: option '--output' needs an argument"},
    {"LongOutputWithEmptyValue",
     {"--output=", "in.asm"},
     "error: option '--output' needs an argument"},
    {"ListingWithoutArgument",
     {"in.asm", "--listing"},
     "error: option '--listing' needs an argument"},
    {"FormatWithoutArgument", {"-f"}, "error: option '-f' needs an argument"},
    {"FormatEmpty", {"--format=", "in.asm"}, "error: option '--format' needs an argument"},
    {"UnknownFormat",
     {"-f", "hex", "in.asm"},
     "error: unknown format 'hex' (mif, readmemb, readmemh, coe, logisim, vhdl)"},
    {"FormatNamesAreLowerCase",
     {"--format=MIF", "in.asm"},
     "error: unknown format 'MIF' (mif, readmemb, readmemh, coe, logisim, vhdl)"},
    {"OutputOptionAndSecondArgument",
     {"-o", "a.mif", "in.asm", "out.mif"},
     "error: output path given twice ('a.mif' and 'out.mif')"},
    {"SecondArgumentAndLongOutputOption",
     {"in.asm", "out.mif", "--output=a.mif"},
     "error: output path given twice ('a.mif' and 'out.mif')"},
    {"StandardOutputAndSecondArgument",
     {"in.asm", "out.mif", "-o", "-"},
     "error: output path given twice ('-' and 'out.mif') (quiet)"},
    {"OutputOptionTwice",
     {"-o", "a.mif", "--output", "b.mif", "in.asm"},
     "error: output path given twice ('a.mif' and 'b.mif')"},
    {"ListingTwice",
     {"-l", "a.lst", "in.asm", "-l", "b.lst"},
     "error: listing path given twice ('a.lst' and 'b.lst')"},
    {"NoSourceAfterOptions", {"-f", "coe"}, "error: no input file"},
    {"NoSourceAfterDoubleDash", {"--"}, "error: no input file"},
    {"NoSourceAfterOutputOption", {"-o", "out.mif"}, "error: no input file"},
    {"MoreThanTwoArgumentsWithOptions",
     {"-f", "coe", "in.asm", "out.mif", "x"},
     "error: too many arguments"},
    {"MoreThanTwoArgumentsAfterDoubleDash",
     {"--", "in.asm", "out.mif", "x"},
     "error: too many arguments"},
    // A quiet run says its usage error quietly, wherever -q stands.
    {"QuietAfterTheError", {"-x", "in.asm", "-q"}, "error: unknown option '-x' (quiet)"},
    {"StandardOutputBeforeTheError",
     {"-o", "-", "a", "b", "c"},
     "error: too many arguments (quiet)"},
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

class CommandLineRead : public testing::TestWithParam<Row> {};

TEST_P(CommandLineRead, AsTheUserMeantIt) { EXPECT_EQ(GetParam().read, Read(GetParam().args)); }

INSTANTIATE_TEST_SUITE_P(Arguments, CommandLineRead, testing::ValuesIn(kRows),
                         orvix_test::ByName());

}  // namespace
