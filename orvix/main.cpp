// The orvix program: one run of the assembler (driver.h), whose exit status
// also says whether the console listing was written in full.

#include "orvix/driver.h"
#include "orvix/platform.h"

int main(int argc, char** argv) {
  startprocess(argc, argv);
  return finish(run(argc, argv));
}
