// What the assembler needs of the operating system beyond the C and C++
// standard libraries: the command line and the console in the system's own
// encoding, opening a file by its UTF-8 name, writing a file so that it is
// replaced whole or not at all, and telling whether two paths name one
// file.
//
// This is the one part of the assembler that calls the operating system;
// everything else works on standard streams. There is one implementation for
// POSIX.1-2008 systems (platform_posix.cpp) and one for Windows
// (platform_win32.cpp). Paths are UTF-8 on Windows, and bytes as given
// elsewhere. Functions here may change the process's file mode creation
// mask for an instant (to read it), so they are meant for a single-threaded
// program.

#ifndef ORVIX_PLATFORM_H_
#define ORVIX_PLATFORM_H_

#include <cstdio>
#include <string>

// The character of the arguments the system hands the program: Windows
// hands them to wmain in UTF-16, other systems to main as bytes.
#ifdef _WIN32
using ArgumentChar = wchar_t;
#else
using ArgumentChar = char;
#endif

// Prepares the process before anything is printed or opened, and returns
// its `argc` arguments in UTF-8: on Windows made from the system's UTF-16
// ones, so that any name works, with the console showing UTF-8 for the run;
// elsewhere `argv` itself. What it returns lives until the process ends.
char** startprocess(int argc, ArgumentChar** argv);

// fopen with the path in UTF-8 on Windows: text mode unless `mode` says "b".
// On Windows a path of any length works, and "/" separates as a backslash
// does. An empty path names no file (errno ENOENT).
FILE* openfile(const char* path, const char* mode);

// True where a file read in text mode ends at a Ctrl-Z byte (Windows). A
// source read there in binary mode, for the same line numbers as elsewhere,
// must end there too.
extern const bool kTextEndsAtCtrlZ;

// Writes `text` (UTF-8, LF line ends) to `stream`, standard output or
// standard error, as text: on a Windows console as characters, which show
// right whatever the console's code page; into a file or a pipe, and on
// other systems, as its bytes in text mode. A failure shows in
// ferror(stream).
void printtext(FILE* stream, const std::string& text);

// Writes `text` (LF line ends) to the file `path` in text mode. A regular
// file, or a path that names nothing yet, is replaced whole: the text goes
// to a temporary file in the same directory, stored on disk, then renamed
// onto the target, so a failure leaves the previous file as it was and no
// temporary file behind.
// A symbolic link is followed and stays a link; on POSIX systems a replaced
// file keeps its permission bits (and its owner, where that is allowed). An
// existing file the user may not write (on Windows also a read-only file,
// or one that another program holds open without sharing it for deletion)
// is refused. Devices and FIFOs (NUL and CON on Windows) are written in
// place. On Windows a path of any length works (one the system cannot take
// is refused), and "/" separates as a backslash does. Returns false on any
// failure to open, write, store, close or rename, with errno set to the
// error number of the first failure (ENOENT for an empty path).
bool replacefile(const char* path, const std::string& text);

// True when `a` and `b` name one file, whatever their spelling: two that
// exist are one when they have the same device and inode (on Windows the
// same volume and file index), so links count as the file they lead to; a
// file that does not exist yet is named by its directory's identity and its
// name as the system compares names (on Windows without regard to letter
// case, trailing dots and blanks dropped), after following a link that
// leads to it. A path whose directory does not exist names no file.
bool samefile(const char* a, const char* b);

// Puts standard input and output in binary mode (no line-end translation),
// or back in text mode. Only Windows translates; elsewhere nothing changes.
void setbinarystdio(bool binary);

#endif  // ORVIX_PLATFORM_H_
