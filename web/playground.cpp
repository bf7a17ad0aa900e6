// The assembler's entry points for the playground page, compiled to
// WebAssembly and called from JavaScript through embind. One call per
// keystroke assembles the editor's text as
//
//   orvix -W -f FORMAT NAME.asm NAME.EXT
//
// would in an empty directory, and returns everything the page shows: the
// listing's rows, the diagnostics with their lines and byte ranges, the
// console text and the image's bytes, made by the same code as the command
// line's. The tables the page lists (formats, mnemonics) come from here
// too, and the reading of a memory file back as orvix -d reads it. The
// page runs in one thread; nothing is kept between calls.

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <string>

#include "orvix/assembly.h"
#include "orvix/cmdline.h"
#include "orvix/disassembler.h"
#include "orvix/image.h"
#include "orvix/instructionset.h"

namespace {

using emscripten::val;

// `bytes` as a Uint8Array of their own.
val bytearray(const std::string& bytes) {
  return val::global("Uint8Array")
      .new_(emscripten::typed_memory_view(bytes.size(),
                                          reinterpret_cast<const unsigned char*>(bytes.data())));
}

// Every image format: its name, its name in messages, its file name
// extension, and a line of help.
val formats() {
  val list = val::array();
  for (int i = 0; i < kFormatCount; i++) {
    val f = val::object();
    f.set("name", std::string(kFormats[i].name));
    f.set("title", std::string(kFormats[i].title));
    f.set("extension", std::string(kFormats[i].extension));
    f.set("help", std::string(kFormats[i].help));
    list.call<void>("push", f);
  }
  return list;
}

// Every mnemonic, in the assembler's order: its name, the fixed leading
// bits of its word, what fills the rest ("none", "data" or "jump") and how
// many bits that is.
val mnemonics() {
  static const char* const kKinds[] = {"none", "data", "jump"};
  static_assert(OPERAND_NONE == 0 && OPERAND_DATA == 1 && OPERAND_JUMP == 2,
                "kKinds names each OperandKind at its value");
  val list = val::array();
  for (int i = 0; i < kMnemonicCount; i++) {
    val m = val::object();
    m.set("name", std::string(kMnemonics[i].name));
    m.set("fixed", std::string(kMnemonics[i].fixed));
    m.set("kind", std::string(kKinds[kMnemonics[i].kind]));
    m.set("width", kMnemonics[i].width);
    list.call<void>("push", m);
  }
  return list;
}

// Assembles `source` as NAME.asm into an image in `format` named
// NAME.<extension>: {command, status, console (bytes), failure, rows:
// [{address, word, line, label, instruction}], diagnostics: [{line, begin,
// end, severity, text}], imageName, image (bytes, or null when the run
// fails)}. A row's label (with its colon, or "") and instruction are the
// two parts of the statement as the image comments show it. Lines count
// from 1 (0: a problem of no line) and ranges are byte columns of their
// line.
val assembleprogram(const std::string& source, const std::string& format, const std::string& name) {
  const ImageFormat* f = findformat(format.c_str());
  if (f == nullptr) f = &kFormats[0];
  AssemblyOptions options;
  options.source = name + ".asm";
  options.output = name + "." + f->extension;
  options.format_title = f->title;
  options.report = true;
  const Assembly a = assemble(source, options);

  val result = val::object();
  result.set("command",
             "orvix -W -f " + std::string(f->name) + " " + options.source + " " + options.output);
  result.set("status", a.assembled() ? 0 : 1);
  result.set("console", bytearray(banner() + a.consoletext()));
  result.set("failure", a.failure);
  val rows = val::array();
  for (int i = 0; i < a.encoded(); i++) {
    const Statement& s = a.statements[i];
    val row = val::object();
    row.set("address", i);
    row.set("word", std::string(s.word.cStr()));
    row.set("line", static_cast<double>(s.line));
    // The comment is the label part and the instruction, two tabs apart; a
    // label holds no tab.
    const std::string comment = s.comment.cStr();
    const size_t tabs = comment.find("\t\t");
    const bool split = tabs != std::string::npos;
    row.set("label", split ? comment.substr(0, tabs) : std::string());
    row.set("instruction", split ? comment.substr(tabs + 2) : comment);
    rows.call<void>("push", row);
  }
  result.set("rows", rows);
  val diagnostics = val::array();
  for (const Diagnostic& d : a.diagnostics) {
    val item = val::object();
    item.set("line", static_cast<double>(d.line));
    item.set("begin", static_cast<double>(d.range.begin));
    item.set("end", static_cast<double>(d.range.end));
    item.set("severity", std::string(d.severity == SEVERITY_ERROR ? "error" : "warning"));
    const std::string line = locatedline(options.source, d);
    item.set("text", line.substr(0, line.size() - 1));
    diagnostics.call<void>("push", item);
  }
  result.set("diagnostics", diagnostics);
  result.set("imageName", options.output);
  result.set("image", a.assembled() ? bytearray(f->text(imageof(a, options.output))) : val::null());
  return result;
}

// Reads the memory file `text`, named `name`, as orvix -d NAME would:
// {status, form, source ("" when the run fails), diagnostics: [{line,
// severity, text}]}, each diagnostic's text as the console line says it.
val disassembleimage(const std::string& text, const std::string& name) {
  const Disassembly d = disassemble(text, name);
  val result = val::object();
  result.set("status", d.image.read ? 0 : 1);
  result.set("form", d.image.form);
  result.set("source", d.source);
  val diagnostics = val::array();
  for (const Diagnostic& diagnostic : d.image.diagnostics) {
    val item = val::object();
    item.set("line", static_cast<double>(diagnostic.line));
    item.set("severity", std::string(diagnostic.severity == SEVERITY_ERROR ? "error" : "warning"));
    const std::string line = locatedline(name, diagnostic);
    item.set("text", line.substr(0, line.size() - 1));
    diagnostics.call<void>("push", item);
  }
  result.set("diagnostics", diagnostics);
  return result;
}

}  // namespace

EMSCRIPTEN_BINDINGS(orvix) {
  emscripten::function("formats", &formats);
  emscripten::function("mnemonics", &mnemonics);
  emscripten::function("assemble", &assembleprogram);
  emscripten::function("disassemble", &disassembleimage);
}
