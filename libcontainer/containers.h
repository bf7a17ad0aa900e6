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

#include "string.h"
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

// ---------------------------------------------------------------------------
// Hash tables
// ---------------------------------------------------------------------------

// Smallest and largest bucket/slot count a hash table takes (the first and the
// last entry of N_primes).
const int DHASH_MIN_SIZE = 11;
const int DHASH_MAX_SIZE = 13845163;

// Key functions of HashG. A text key is a NUL-terminated char array that the
// table copies; a pointer key is compared by identity and never copied.

// A new[]-allocated copy of the text `p` (strlen + 1 bytes).
// REQUIRES: p is not null.
Ptr DHashDupKeyString(CPtr p);
// `p` itself: pointer keys are not copied.
Ptr DHashDupKeyPtr(CPtr p);
// delete[]s a copy made by DHashDupKeyString; nothing for null.
void DHashCleanupKeyString(Ptr p);
// Nothing: pointer keys are not owned.
void DHashCleanupKeyPtr(Ptr p);
// ELF-style text hash over bytes taken as signed chars; always below 2^28.
// REQUIRES: p is not null.
unsigned int DHashFromString(CPtr p);
// The low 32 bits of the pointer's value.
unsigned int DHashFromPtr(CPtr p);
// True when the two texts are equal byte for byte (strcmp is 0).
bool DCompareString(CPtr p1, CPtr p2);
// True when the two pointers are the same.
bool DComparePtr(CPtr p1, CPtr p2);

/// HashG maps untyped keys to untyped data pointers by separate chaining over
/// a prime number of buckets. The key behaviour (copy, release, hash, compare)
/// is chosen at construction: text keys, which the table copies, or pointer
/// keys, compared by identity. The entry operations are protected: a derived
/// class supplies the typed interface.
///
/// Insertion puts the new entry at the head of its bucket without looking for
/// an equal key, so the newest of several equal keys is found first. The table
/// never grows by itself; the owner picks the size up front or calls resize(),
/// which reverses the order of equal keys.
///
/// Ownership: the table owns its buckets, entries and key copies. The data
/// pointers belong to the caller unless `autodelete` is set; then each data
/// pointer leaving through remove() or clear() goes to deleteObj(). A derived
/// class whose deleteObj releases objects must call clear() in its own
/// destructor, since ~HashG only sees the base deleteObj.
///
/// Single-threaded. Not copyable.
class HashG : public CollectionG {
 public:
  enum DKeyType { KEY_STRING = 0, KEY_POINTER = 1 };

  HashG(const HashG&) = delete;
  HashG& operator=(const HashG&) = delete;

  // Removes every entry (data to deleteObj when autodelete); size unchanged.
  void clear() override;
  // Number of entries.
  int length() override;
  // Number of entries.
  int itemCount();
  // Moves to GetLargerPrime(new_size) buckets when new_size >= the current
  // bucket count; a smaller new_size changes nothing.
  void resize(int new_size);

 protected:
  // GetLargerPrime(size) empty buckets, `size` taken as unsigned. Any key type
  // other than KEY_STRING selects pointer keys.
  HashG(DKeyType key_type, int size);
  ~HashG() override;

  // Adds an entry at the head of the key's bucket (equal keys allowed).
  void insert(CPtr key, Ptr data);
  // Removes the entry found first for `key` and returns its data; null when
  // the key is absent or when autodelete passed the data to deleteObj.
  Ptr remove(CPtr key);
  // Data of the entry found first for `key`; null when absent.
  Ptr lookup(CPtr key);
  // Starts an iteration: data of the first entry, its key (the table's copy,
  // not to be changed or released) in `key`; null, `key` untouched, if empty.
  Ptr first(Ptr& key);
  // Data and key of the next entry; null at the end. The table must not be
  // changed between first() and the null result.
  Ptr next(Ptr& key);

 private:
  struct HashItem {
    Ptr key;
    Ptr data;
    HashItem* next;
  };

  // Bucket index of `key`.
  unsigned int hashify(CPtr key);
  // From bucket cur_index on, the head of the first non-empty bucket becomes
  // last_seen; its data is returned and its key stored in `key`.
  Ptr nextBucket(Ptr& key);

  Ptr (*key_duplicate_function)(CPtr);
  void (*key_cleanup_function)(Ptr);
  unsigned int (*key_hash_function)(CPtr);
  bool (*key_compare_function)(CPtr, CPtr);
  int cur_index;
  HashItem* last_seen;
  int hash_size;
  HashItem** hash_table;
  int item_count;
};

/// LinearHashG maps String keys to untyped data pointers by open addressing
/// with linear probing. It starts with 367 slots and grows to the next prime
/// of N_primes on the insertion that finds it more than 60 % full, so probe
/// walks stay short. Equal keys may be stored more than once; the earlier one
/// is found first (until a growth places the entries anew). The entry
/// operations are protected: a derived class supplies the typed interface.
///
/// Ownership: the table owns its slots and entries, each holding its own
/// String copy of the key. The data pointers belong to the caller unless
/// `autodelete` is set; then each data pointer leaving through remove() or
/// clear() goes to deleteObj(). A derived class whose deleteObj releases
/// objects must call clear() in its own destructor.
///
/// Single-threaded. Not copyable.
class LinearHashG : public CollectionG {
 public:
  LinearHashG(const LinearHashG&) = delete;
  LinearHashG& operator=(const LinearHashG&) = delete;

  // Removes every entry (data to deleteObj when autodelete); size unchanged.
  void clear() override;
  // Number of entries.
  int length() override;
  // Number of entries.
  int itemCount();
  // Moves to the next size of N_primes and places every entry anew; at the
  // largest size there is no next one and nothing changes.
  void grow();

 protected:
  // An empty table of 367 slots.
  LinearHashG();
  ~LinearHashG() override;

  // Adds an entry (equal keys allowed), growing first when more than 60 % of
  // the slots are taken. At the largest size the program stops on an
  // assertion once only one empty slot is left.
  void insert(const String& key, Ptr data);
  // Removes the entry found first for `key` and returns its data; null when
  // the key is absent or when autodelete passed the data to deleteObj.
  Ptr remove(const String& key);
  // Data of the entry found first for `key`; null when absent.
  Ptr lookup(const String& key);
  // Starts an iteration in slot order: data of the first entry, a copy of its
  // key in `key`; null, `key` untouched, when empty.
  Ptr first(String& key);
  // Data and key copy of the next entry; null (again and again) at the end.
  // The table must not be changed between first() and the null result.
  Ptr next(String& key);

 private:
  struct HashItem {
    String key;
    Ptr data;
  };

  // Home slot of `key` in the current table.
  int homeSlot(const String& key) const;
  // The slot after `i`, wrapping to 0.
  int nextSlot(int i) const;
  // Slot of the entry found first for `key`, or -1.
  int findSlot(const String& key) const;

  int cur_index;
  int table_size;
  HashItem** table;
  int item_count;
};

#endif  // LIBCONTAINER_CONTAINERS_H_
