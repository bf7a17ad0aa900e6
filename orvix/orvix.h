// orvix: the assembler for the ZRC, a processor with 10-bit instruction words
// and 32 words of memory.
//
// One run reads an assembly source into a fixed table of 32 statement
// records (one per memory word), encodes each statement into a word of ten
// '0'/'1' characters, lists the words on the console and, when an output path
// is given, writes the whole memory image to it (see image.h for the
// formats). This header declares the record and the functions of the
// assembler proper: the loader, the encoder and the driver. The program's
// main, the tests and the fuzz targets all call them.
//
// Every message goes to standard output (in a quiet run to standard error,
// see diagnostics.h), except the report that standard output itself failed,
// which goes to standard error. Not thread-safe: the functions print through the one
// standard output stream, and a run is single-threaded.

#ifndef ORVIX_ORVIX_H_
#define ORVIX_ORVIX_H_

#include <cstdio>

#include "libcontainer/libcontainer.h"
#include "orvix/cmdline.h"
#include "orvix/diagnostics.h"
#include "orvix/image.h"

// One source statement, filled by the loader and read by the encoder.
struct instruction {
  String label;      // label defined here, without its colon; "" for none
  String op;         // the mnemonic as written; "" when the line holds a label only
  String jmptarget;  // the operand when it is a label reference; "" otherwise
  int data = 0;      // numeric operand; 0 without operand, -1 for a label reference
};

// The longest piece of a source line the loader's LineReader hands over.
const int kMaxLineLength = 1024;

// The low `bits` bits of `val` in two's complement, most significant first.
// Higher bits are dropped; `bits` <= 0 gives "".
String bitify(int val, int bits);

// Index of the first of all 32 records whose label equals `label`, or -1.
int findlabel(instruction* cmds, const String& label);

// True when every character of `str` is a decimal digit or '-'. The empty
// text counts as a number, which gives an omitted operand the value 0.
bool isinteger(const String& str);

// What parsing one statement line finds beyond its record.
struct StatementText {
  String operand;  // the operand as written; "" when there is none
  String rest;     // the tokens after the operand, joined by one blank
};

// Fills `cmd` from one statement line as the LineReader hands it over: an
// optional label (a first token ending in ':'), the mnemonic and the
// operand, which is a number when isinteger holds and a label reference
// otherwise. Tokens are cut at runs of comma, blank and tab; tokens after
// the operand take no part in the record and are returned in `text`.
void parsestatement(const String& line, instruction& cmd, StatementText& text);

// Reads the open source stream `fp` (named `fn` in messages) into
// cmds[0..count-1], one record per statement, and returns the count: 0 when
// it holds no statement, -1 when it holds more statements than memory has
// words or cannot be read to its end. Records which source line each
// statement came from in `diag`. The stream stays the caller's.
int loadstream(instruction* cmds, FILE* fp, const char* fn, Diagnostics& diag);

// Opens the source file `fn`, loads it with loadstream and closes it.
// Returns 0 when the file cannot be opened, printing only, when reporting,
// the system's reason.
int loadsource(instruction* cmds, const char* fn, Diagnostics& diag);

// Reads the source file `fn` into cmds[0..count-1], one record per
// statement, and returns the count. Returns 0 when the file cannot be opened
// or holds no statement, and -1 when it holds more statements than memory
// has words or cannot be read to its end.
int loadasm(instruction* cmds, char* fn);

// The 5-bit address field of the jump statement cmds[i]. A numeric target is
// cut to 5 bits; a label is looked up in all records, and a missing one is
// reported and replaced by address 0.
String getjmpaddr(instruction* cmds, int i);

// Encodes cmds[0..ncmds-1], lists each word on the console (unless quiet)
// and writes what `cl` asks for: the image file, then the listing, then the
// image on standard output. Every statement is encoded before any file is
// touched, and each file is replaced whole. Returns false on an unknown
// mnemonic, when a file cannot be written (what was written before stays),
// or, with `cl.strict`, when any warning was found.
// REQUIRES: ncmds <= 32
bool writeoutputs(instruction* cmds, int ncmds, const CommandLine& cl, Diagnostics& diag);

// Encodes cmds[0..ncmds-1], lists each word on the console and, when `fn` is
// not null, writes the image to it in `format`. Every statement is encoded
// before the file is touched, so a failed assembly leaves an existing file
// as it was. Returns false on an unknown mnemonic, when the file cannot be
// written, or, with `strict`, when any warning was found.
// REQUIRES: ncmds <= 32
bool writeimage(instruction* cmds, int ncmds, const char* fn, const ImageFormat& format,
                Diagnostics& diag, bool strict);

// The statement as the image comments show it: the label with its colon,
// two tabs, the mnemonic, a blank and the operand (the label reference, or
// the number).
String statementcomment(const instruction& cmd);

// Encodes cmds[0..ncmds-1], lists each word on the console and, when `fn` is
// not null, writes the MIF image to it. Returns false on an unknown mnemonic
// or when the file cannot be written; an existing file is then unchanged.
// REQUIRES: ncmds <= 32
bool writeasm(instruction* cmds, int ncmds, char* fn);

// One run of the assembler with the command line `argv`: the banner, the
// command line, loading, encoding and writing. Returns the exit status, 0 on
// success and 1 on any failure, before the console is checked.
int run(int argc, char** argv);

// The exit status of a run that would end with `status`: 1 when the console
// listing could not be written in full, which is then said on standard error.
int finish(int status);

#endif  // ORVIX_ORVIX_H_
