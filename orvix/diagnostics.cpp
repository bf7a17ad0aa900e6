#include "orvix/diagnostics.h"

#include <cstdarg>
#include <cstdio>

std::string locatedline(const std::string& source, const Diagnostic& d) {
  const char* kind = d.severity == SEVERITY_ERROR ? "error" : "warning";
  if (d.line == 0) return source + ": " + kind + ": " + d.text + "\n";
  return source + ":" + std::to_string(d.line) + ": " + kind + ": " + d.text + "\n";
}

std::string formatted(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) vsnprintf(&text[0], text.size() + 1, format, again);
  va_end(again);
  return text;
}
