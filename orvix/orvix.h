// orvix: the assembler for the ZRC, a processor with 10-bit instruction words
// and 32 words of memory.
//
// The assembler's functions on a fixed table of 32 statement records, one
// per memory word: loadasm reads a source into the table, writeasm encodes
// it, lists the words and writes the MIF image, and findlabel and
// getjmpaddr resolve jumps (bitify and isinteger are in instructionset.h).
// They print on standard output what a plain run prints and open their files
// themselves: thin layers over the assembly (assembly.h), which the program
// itself uses. Not thread-safe: they print through standard output.

#ifndef ORVIX_ORVIX_H_
#define ORVIX_ORVIX_H_

#include "libcontainer/libcontainer.h"
#include "orvix/instructionset.h"
#include "orvix/statement.h"

// Reads the source file `fn` into cmds[0..count-1], one record per
// statement, and returns the count, after printing the loader's lines.
// Returns 0 when the file cannot be opened (printing nothing) or holds no
// statement, and -1 when it holds more statements than memory has words or
// cannot be read to its end.
int loadasm(instruction* cmds, char* fn);

// Index of the first of all 32 records whose label equals `label`, or -1.
int findlabel(instruction* cmds, const String& label);

// The 5-bit address field of the jump statement cmds[i]. A numeric target is
// cut to 5 bits; a label is looked up in all records, and a missing one is
// reported and replaced by address 0.
String getjmpaddr(instruction* cmds, int i);

// Encodes cmds[0..ncmds-1], lists each word on the console and, when `fn` is
// not null, writes the MIF image to it, replaced whole. Returns false on an
// unknown mnemonic or when the file cannot be written; an existing file is
// then unchanged. Labels are looked up in all 32 records.
// REQUIRES: 0 <= ncmds <= 32
bool writeasm(instruction* cmds, int ncmds, char* fn);

#endif  // ORVIX_ORVIX_H_
