// The orvix program: one run of the assembler (driver.h), whose exit status
// also says whether the console listing was written in full.

#include "orvix/driver.h"
#include "orvix/platform.h"

#ifdef _WIN32
// Windows hands the arguments to wmain, in UTF-16.
int wmain(int argc, wchar_t** argv) { return finish(run(argc, startprocess(argc, argv))); }
#else
int main(int argc, char** argv) { return finish(run(argc, startprocess(argc, argv))); }
#endif
