// hold_open FILE RELEASE: holds FILE open as a simulator that has an image
// loaded does, for reading and sharing reading and writing but not its
// deletion or renaming, until the file RELEASE exists (a minute at most).
// Prints "held" once FILE is open; exits with 1 when it cannot be opened.
// A Windows program: the Windows build's end-to-end tests start it.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: hold_open FILE RELEASE\n");
    return 2;
  }
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  printf("held\n");
  fflush(stdout);
  for (int waited = 0; waited < 60000; waited += 10) {
    if (GetFileAttributesA(argv[2]) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(10);
  }
  CloseHandle(file);
  return 0;
}
