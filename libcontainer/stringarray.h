#ifndef LIBCONTAINER_STRINGARRAY_H_
#define LIBCONTAINER_STRINGARRAY_H_

/// StringArray is an ordered, growable list of String values. The line
/// reader keeps its pattern lists (comment starts, comment exceptions,
/// partial comments, line continuations) in StringArrays and searches them.
///
/// The count (`length()`) is separate from the storage size (`capacity()`).
/// A full array grows by exactly two slots at a time, which suits the short
/// lists it is made for; preAlloc() reserves more at once. The storage never
/// shrinks except through assignment.
///
/// Ownership: the array owns its strings (values, copied in and out).
/// Index violations stop the program through assertions that stay active in
/// every build.
///
/// Intentionally copyable: copy construction and assignment are deep; the
/// copy's capacity equals the source's length.
/// Single-threaded.

#include "string.h"
#include "vector.h"

class StringArray {
 public:
  // An empty array with capacity `size` (capacity 0, no storage, when
  // `size` <= 0).
  explicit StringArray(int size = 0);
  // A deep copy of the entries of `array`, capacity array.length().
  StringArray(const StringArray& array);
  ~StringArray();

  // Copies the entries of `array`; the capacity becomes array.length().
  StringArray& operator=(const StringArray& array);

  // A copy of entry `i`.
  // REQUIRES: 0 <= i < length()
  String operator[](int i) const;
  // Entry `i`.
  // REQUIRES: 0 <= i < length()
  String& operator[](int i);

  // Puts `s` first, moving every entry up one place.
  void prepend(const String& s);
  // Adds `s` after the last entry.
  void append(const String& s);
  // Puts `s` at `index`, moving the entries from `index` on up one place.
  // `s` may be an entry of this array.
  // REQUIRES: 0 <= index <= length()
  void insert(const String& s, int index);
  // Index of the first entry equal to `s`, or -1.
  int find(const String& s) const;
  // Removes the first entry equal to `s`; nothing when there is none.
  void remove(const String& s);
  // Removes entry `index`, moving later entries down one place.
  // REQUIRES: 0 <= index < length()
  void remove(int index);
  // Forgets every entry; the storage and capacity stay.
  void clear();
  // Raises the capacity to `size` when it is smaller; otherwise nothing.
  void preAlloc(int size);

  // Number of entries.
  int length() const;
  // Number of slots in the storage.
  int capacity() const;

  // An array of the `n` following arguments, each a `const char*` (null
  // gives an empty string), in argument order.
  static StringArray make(int n, ...);

 private:
  // Adds two slots when every slot is in use.
  void growIfFull();

  Vector<String> strings;  // storage; its length is the capacity
  int n_strings;           // entries 0 .. n_strings - 1 are in use
};

#endif  // LIBCONTAINER_STRINGARRAY_H_
