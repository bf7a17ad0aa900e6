#include "orvix/diagnostics.h"

#include <cstring>

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

void Diagnostics::systemerror(const char* path, const char* what, int err) {
  if (report) fprintf(messages(), "%s: error: %s: %s\n", path, what, strerror(err));
}

void Diagnostics::message(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vfprintf(messages(), format, args);
  va_end(args);
}

void Diagnostics::progress(const char* format, ...) {
  if (quiet) return;
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
}

void Diagnostics::print(long at, const char* kind, const char* format, va_list args) {
  if (!report) return;
  FILE* out = messages();
  fprintf(out, "%s:%ld: %s: ", source, at, kind);
  vfprintf(out, format, args);
  fprintf(out, "\n");
}
