#include "stringarray.h"

#include <cassert>
#include <cstdarg>

StringArray::StringArray(int size) : n_strings(0) {
  if (size > 0) strings.resize(size, true);
}

StringArray::StringArray(const StringArray& array) : n_strings(0) { *this = array; }

StringArray::~StringArray() {}

StringArray& StringArray::operator=(const StringArray& array) {
  if (this == &array) return *this;
  strings.resize(array.length(), true);
  n_strings = array.length();
  for (int i = 0; i < n_strings; i++) strings[i] = array.strings[i];
  return *this;
}

String StringArray::operator[](int i) const {
  assert(i >= 0 && i < n_strings);
  return strings[i];
}

String& StringArray::operator[](int i) {
  assert(i >= 0 && i < n_strings);
  return strings[i];
}

void StringArray::growIfFull() {
  if (capacity() < n_strings + 1) strings.resize(capacity() + 2, true);
}

void StringArray::prepend(const String& s) { insert(s, 0); }

void StringArray::append(const String& s) {
  if (capacity() < n_strings + 1) {
    // `s` may be one of our entries, which growing would release.
    String value(s);
    growIfFull();
    strings[n_strings++] = value;
    return;
  }
  strings[n_strings++] = s;
}

void StringArray::insert(const String& s, int index) {
  // `s` may be one of our entries, which growing releases and shifting
  // overwrites: take the value first.
  String value(s);
  growIfFull();
  assert(index >= 0 && index <= n_strings);
  for (int j = n_strings; j > index; j--) strings[j] = strings[j - 1];
  strings[index] = value;
  n_strings++;
}

int StringArray::find(const String& s) const {
  for (int i = 0; i < n_strings; i++) {
    if (strings[i] == s) return i;
  }
  return -1;
}

void StringArray::remove(const String& s) {
  int index = find(s);
  if (index >= 0) remove(index);
}

void StringArray::remove(int index) {
  assert(index >= 0 && index < n_strings);
  for (int j = index; j < n_strings - 1; j++) strings[j] = strings[j + 1];
  n_strings--;
}

void StringArray::clear() { n_strings = 0; }

void StringArray::preAlloc(int size) {
  if (size > capacity()) strings.resize(size, true);
}

int StringArray::length() const { return n_strings; }

int StringArray::capacity() const { return strings.length(); }

StringArray StringArray::make(int n, ...) {
  StringArray array(0);
  va_list args;
  va_start(args, n);
  for (int i = 0; i < n; i++) array.append(String(va_arg(args, const char*)));
  va_end(args);
  return array;
}
