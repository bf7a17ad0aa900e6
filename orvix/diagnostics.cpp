#include "orvix/diagnostics.h"

#include <cstdio>

void Diagnostics::warn(long at, const char* format, ...) {
  warnings++;
  va_list args;
  va_start(args, format);
  print(at, "warning", format, args);
  va_end(args);
}

void Diagnostics::error(long at, const char* format, ...) {
  va_list args;
  va_start(args, format);
  print(at, "error", format, args);
  va_end(args);
}

void Diagnostics::print(long at, const char* kind, const char* format, va_list args) {
  if (!report) return;
  printf("%s:%ld: %s: ", source, at, kind);
  vprintf(format, args);
  printf("\n");
}
