#ifndef LIBCONTAINER_CONTAINERS_H_
#define LIBCONTAINER_CONTAINERS_H_

/// The generic pointer containers: CollectionG, the abstract base that holds
/// the `autodelete` flag and the `deleteObj` hook; ListG, the singly linked
/// list behind Queue<T>; and the two hash tables HashG and LinearHashG.
///
/// Ownership: a container owns its own records, slots and key copies. The
/// objects behind the stored data pointers belong to the caller, unless
/// `autodelete` is set: then every data pointer the container drops in
/// `clear` or `remove` is passed to the virtual `deleteObj`.
///
/// Single-threaded: no container takes a lock.

#include "types.h"

// Abstract base of every generic container.
class CollectionG {
 public:
  // Empties the container.
  virtual void clear() = 0;
  // Number of stored items.
  virtual int length() = 0;

  // When true, the container releases each object it drops in clear/remove.
  void setAutoDelete(bool b);

 protected:
  // autodelete starts false.
  CollectionG();
  virtual ~CollectionG();

  // Releases one stored object; this base version does nothing.
  virtual void deleteObj(Ptr obj);

  bool autodelete;
};

#endif  // LIBCONTAINER_CONTAINERS_H_
