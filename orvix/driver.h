// The orvix program: one run of the assembler from its command line. It
// reads the command line, prints the banner, refuses a run whose files
// would overwrite each other, opens the source, prints the console lines of
// the assembly (assembly.h) and writes the image and the listing it asks
// for, each replaced whole; with -d it reads an image instead and writes
// its source (disassembler.h). The one part of the assembler that prints
// and opens files. Not thread-safe: it prints through the standard streams.

#ifndef ORVIX_DRIVER_H_
#define ORVIX_DRIVER_H_

// One run of the assembler with the command line `argv`. Returns the exit
// status, 0 on success and 1 on any failure, before the console is checked.
int run(int argc, char** argv);

// The exit status of a run that would end with `status`: 1 when the console
// listing could not be written in full, which is then said on standard error.
int finish(int status);

#endif  // ORVIX_DRIVER_H_
