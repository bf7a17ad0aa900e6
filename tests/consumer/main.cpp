// Uses the installed library through its public include path: reads two
// statement lines from memory, splits them, and checks the pieces.
#include "libcontainer/libcontainer.h"

#include <string.h>  // the C library's header must stay reachable

#include <cstdio>

int main() {
  LineReader reader(String("  start: load 5 ; set up\n; note\n\nj start\n"), 1024);
  reader.configure(LR_ADD_PARTIAL_COMMENT, const_cast<char*>(";"));
  reader.configure(LR_ADD_COMMENT_START, const_cast<char*>(";"));

  String joined;
  String line;
  while (reader.getLine(line)) {
    Tokenizer tok(line, ", \t");
    for (String t = tok.next(); t.length() > 0; t = tok.next()) {
      joined += t;
      joined += '|';
    }
  }
  std::printf("%s\n", joined.cStr());
  return strcmp(joined.cStr(), "start:|load|5|j|start|") == 0 ? 0 : 1;
}
