// The start-up floor for the orvix process benchmark: a program linked
// exactly like orvix (static libcontainer, the C++ runtime) that prints a
// banner through String and exits. What orvix costs above this is its work.
#include "libcontainer/libcontainer.h"

#include <cstdio>

int main() {
  String banner("ZRC Assembler.");
  printf("%s\n", banner.cStr());
  return 0;
}
