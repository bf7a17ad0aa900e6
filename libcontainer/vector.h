#ifndef LIBCONTAINER_VECTOR_H_
#define LIBCONTAINER_VECTOR_H_

/// Vector<T> is a fixed-size array of T that changes size only through
/// resize(). It is the storage of StringArray, which grows it itself.
///
/// Ownership: the vector owns its elements; every element exists as a
/// constructed T (resize() and the sized constructor default-construct them).
/// Element access is checked by assertions that stay active in every build.
///
/// Intentionally copyable: copies are deep, element by element.
/// Single-threaded.

#include <cassert>

template <typename T>
class Vector {
 public:
  // No elements and no storage.
  Vector() : t_size(0), t_array(nullptr) {}
  // `size` default-constructed elements; none when `size` <= 0.
  explicit Vector(int size) : Vector() {
    if (size > 0) resize(size, false);
  }
  // `size` copies of `value`; none when `size` <= 0.
  Vector(int size, const T& value) : Vector(size) {
    for (int i = 0; i < t_size; i++) t_array[i] = value;
  }
  // A deep copy of `other`.
  Vector(const Vector& other) : Vector() { copyFrom(other); }
  // Replaces the elements by deep copies of those of `other`.
  Vector& operator=(const Vector& other) {
    if (this != &other) copyFrom(other);
    return *this;
  }
  // Destroys every element and releases the storage.
  ~Vector() { delete[] t_array; }

  // Replaces the storage by `new_size` fresh elements (always reallocating).
  // With `copy`, the first min(length(), new_size) elements keep their
  // values; the others, and all of them without `copy`, are
  // default-constructed. Returns true.
  // REQUIRES: new_size >= 0
  bool resize(int new_size, bool copy) {
    assert(new_size >= 0);
    T* new_array = new T[new_size];
    if (copy) {
      int keep = t_size < new_size ? t_size : new_size;
      for (int i = 0; i < keep; i++) new_array[i] = t_array[i];
    }
    delete[] t_array;
    t_array = new_array;
    t_size = new_size;
    return true;
  }

  // REQUIRES: 0 <= i < length()
  T& operator[](int i) {
    assert(i >= 0 && i < t_size);
    return t_array[i];
  }
  // REQUIRES: 0 <= i < length()
  const T& operator[](int i) const {
    assert(i >= 0 && i < t_size);
    return t_array[i];
  }
  // Same as operator[], same check.
  // REQUIRES: 0 <= i < length()
  T& at(int i) {
    assert(i >= 0 && i < t_size);
    return t_array[i];
  }
  // REQUIRES: 0 <= i < length()
  const T& at(int i) const {
    assert(i >= 0 && i < t_size);
    return t_array[i];
  }

  // Number of elements.
  int length() const { return t_size; }
  // Number of elements (same as length()).
  int size() const { return t_size; }
  // The elements, or null before the first allocation.
  T* data() { return t_array; }
  const T* data() const { return t_array; }

 private:
  // Replaces the elements by copies of those of `other`; the storage is
  // allocated before the old one is released.
  void copyFrom(const Vector& other) {
    T* new_array = nullptr;
    if (other.t_array != nullptr) {
      new_array = new T[other.t_size];
      for (int i = 0; i < other.t_size; i++) new_array[i] = other.t_array[i];
    }
    delete[] t_array;
    t_array = new_array;
    t_size = other.t_size;
  }

  int t_size;
  T* t_array;
};

#endif  // LIBCONTAINER_VECTOR_H_
