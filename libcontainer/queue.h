#ifndef LIBCONTAINER_QUEUE_H_
#define LIBCONTAINER_QUEUE_H_

/// Queue<T> is a typed first-in, first-out queue of T pointers with a
/// put-back operation, built on ListG. The line reader keeps its pending
/// lines in a Queue<char>.
///
/// Ownership: the queue owns its records. The objects belong to the caller
/// unless `autodelete` is set; then every object the queue drops in clear(),
/// or still holds when it is destroyed, is destroyed with a single-object
/// delete (so only objects made by `new T`, never by `new T[]`, may be
/// queued with `autodelete` set). dequeue() never releases: the caller takes
/// the object.
///
/// Not copyable. Single-threaded.

#include "containers.h"

template <typename T>
class Queue : public ListG {
 public:
  // An empty queue with `autodelete` false.
  Queue() {}
  // Empties the queue while this class's deleteObj is still in effect, so
  // queued objects are released when `autodelete` is set.
  ~Queue() override { clear(); }

  // Adds `data` at the back.
  void enqueue(T* data) { append(data); }
  // Removes the front item and returns its object, or null when empty.
  T* dequeue() { return static_cast<T*>(unlink(ListG::first())); }
  // Puts `data` back at the front: the next dequeue() returns it.
  void pushBack(T* data) { prepend(data); }
  // The front object without removing it, or null when empty. Restarts the
  // walk like first().
  T* peek() { return first(); }

  // True when the queue holds no item.
  bool isEmpty() { return length() == 0; }
  // Number of queued items.
  int itemCount() { return length(); }
  // Starts a walk from the front: the first object, or null when empty.
  T* first() { return static_cast<T*>(ListG::first()); }
  // The next object of the walk, or null when it is finished.
  T* next() { return static_cast<T*>(ListG::next()); }

 protected:
  // Destroys one queued object as a single T.
  void deleteObj(Ptr obj) override { delete static_cast<T*>(obj); }
};

#endif  // LIBCONTAINER_QUEUE_H_
