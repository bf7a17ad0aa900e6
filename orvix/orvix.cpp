#include "orvix/orvix.h"

#include <cassert>
#include <cstdio>

#include "orvix/assembly.h"
#include "orvix/image.h"
#include "orvix/platform.h"

namespace {

void print(const Assembly& a) {
  for (const ConsoleLine& line : a.console) fputs(line.text.c_str(), stdout);
}

}  // namespace

int loadasm(instruction* cmds, char* fn) {
  FILE* fp = openfile(fn, "r");
  if (fp == nullptr) return 0;
  AssemblyOptions options;
  options.source = fn;
  SourceText text(fp);
  const Assembly a = loadstatements(text, options);
  fclose(fp);
  print(a);
  if (a.outcome != OUTCOME_ASSEMBLED) return a.outcome == OUTCOME_NO_STATEMENT ? 0 : -1;
  for (size_t i = 0; i < a.statements.size(); i++) cmds[i] = a.statements[i].record;
  return static_cast<int>(a.statements.size());
}

int findlabel(instruction* cmds, const String& label) {
  for (int i = 0; i < kMemoryWords; i++) {
    if (cmds[i].label == label) return i;
  }
  return -1;
}

String getjmpaddr(instruction* cmds, int i) {
  int val = cmds[i].data;
  if (cmds[i].jmptarget.length() > 0) {
    val = findlabel(cmds, cmds[i].jmptarget);
    if (val < 0) {
      printf("Warning: Label '%s' in jump statement not found, using address 0\n",
             cmds[i].jmptarget.cStr());
      val = 0;
    }
  }
  return bitify(val, kJumpBits);
}

bool writeasm(instruction* cmds, int ncmds, char* fn) {
  // REQUIRES: 0 <= ncmds <= 32
  assert(ncmds >= 0 && ncmds <= kMemoryWords);
  Assembly a;
  for (int i = 0; i < ncmds; i++) {
    Statement s;
    s.record = cmds[i];
    a.statements.push_back(s);
  }
  for (int i = 0; i < kMemoryWords; i++) {
    if (cmds[i].label.length() == 0 || findlabel(cmds, cmds[i].label) < i) continue;
    Label l;
    l.name = cmds[i].label;
    l.address = i;
    a.labels.push_back(l);
  }
  resolvelabels(a);
  AssemblyOptions options;
  if (fn != nullptr) options.output = fn;
  encodestatements(a, options);
  print(a);
  if (!a.assembled()) return false;
  if (fn != nullptr && !replacefile(fn, kFormats[0].text(imageof(a, fn)))) {
    printf("Cannot write MIF output '%s', aborting..\n", fn);
    return false;
  }
  return true;
}
