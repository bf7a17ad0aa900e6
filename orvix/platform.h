// What the assembler needs of the operating system beyond the C and C++
// standard libraries: writing a file so that it is replaced whole or not at
// all, and telling whether two paths name one file.
//
// This is the one part of the assembler that calls the operating system;
// everything else works on standard streams. Functions here may change the
// process's file mode creation mask for an instant (to read it), so they
// are meant for a single-threaded program.

#ifndef ORVIX_PLATFORM_H_
#define ORVIX_PLATFORM_H_

#include <cstdio>
#include <functional>

// Writes the file `path` through `write`, which formats the whole text into
// the open stream it is given. A regular file, or a path that names nothing
// yet, is replaced whole: the text goes to a temporary file in the same
// directory, stored on disk, then renamed onto the target, so a failure
// leaves the previous file as it was and no temporary file behind. A
// symbolic link is followed and stays a link; a replaced file keeps its
// permission bits (and its owner, where that is allowed). An existing file
// the user may not write is refused. Devices and FIFOs are written in place.
// Returns false on any failure to open, write, store, close or rename, with
// errno set to the error number of the first failure.
bool replacefile(const char* path, const std::function<void(FILE*)>& write);

// True when `a` and `b` both exist and are one file (the same device and
// inode, so links count as the file they lead to).
bool samefile(const char* a, const char* b);

#endif  // ORVIX_PLATFORM_H_
