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

// Singly linked list of object pointers, the base of Queue<T>.
//
// Only clear() and length() are public: the list is used through derived
// templates that give the stored pointers a type. The list owns its ListItem
// records; the objects behind them follow the `autodelete` rule, and since
// ListG keeps the base deleteObj (which does nothing), a container that
// releases objects must override deleteObj and call clear() in its own
// destructor. The same pointer may be stored more than once; items are found
// by pointer identity. Not copyable.
class ListG : public CollectionG {
 public:
  // Drops every item, first to last; each object goes to deleteObj when
  // `autodelete` is set. Afterwards the list is empty and the walk finished.
  void clear() override;
  // Number of items.
  int length() override;

  ListG(const ListG&) = delete;
  ListG& operator=(const ListG&) = delete;

 protected:
  // One record per stored pointer.
  struct ListItem {
    Ptr data;
    ListItem* next;
  };

  // The empty list.
  ListG();
  // clear(), then the base destructor.
  ~ListG() override;

  // Adds `data` in front of the first item.
  void prepend(Ptr data);
  // Adds `data` after the last item.
  void append(Ptr data);
  // Makes `data` item number `index` (from 0), `index` clamped to
  // 0..length(): a negative index puts it first, one past the end or more
  // puts it last.
  void insert(Ptr data, int index);
  // The first stored pointer equal to `data`, or null.
  Ptr find(CPtr data);
  // Removes the first item equal to `data` without releasing the object and
  // returns the stored pointer, or null when there is none. A walk whose
  // cursor stood on that item goes on with the item after it.
  Ptr unlink(CPtr data);
  // As unlink, but releases the object through deleteObj when `autodelete`
  // is set. True when an item was removed.
  bool remove(CPtr data);
  // Starts a walk: the first object (null when empty); next() continues.
  Ptr first();
  // The next object of the walk, or null when the walk is finished. A stored
  // null pointer therefore also ends a walk.
  Ptr next();

 private:
  // Removes the first item equal to `data` from the chain and returns its
  // record (still allocated), or null.
  ListItem* detach(CPtr data);

  ListItem* list;     // first item, null when empty
  ListItem* tail;     // last item, null when empty
  ListItem* current;  // item whose object next() returns, null when done
  int num_items;
};

#endif  // LIBCONTAINER_CONTAINERS_H_
