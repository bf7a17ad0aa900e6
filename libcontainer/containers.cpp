#include "containers.h"

#include <cassert>
#include <cstdint>
#include <cstring>

#include "util.h"

CollectionG::CollectionG() : autodelete(false) {}

CollectionG::~CollectionG() {}

void CollectionG::setAutoDelete(bool b) { autodelete = b; }

void CollectionG::deleteObj(Ptr) {}

ListG::ListG() : list(nullptr), tail(nullptr), current(nullptr), num_items(0) {}

ListG::~ListG() { clear(); }

void ListG::clear() {
  // Detach the chain first, so the list is already empty while deleteObj runs.
  ListItem* item = list;
  list = tail = current = nullptr;
  num_items = 0;
  while (item != nullptr) {
    ListItem* following = item->next;
    if (autodelete) deleteObj(item->data);
    delete item;
    item = following;
  }
}

int ListG::length() { return num_items; }

void ListG::prepend(Ptr data) {
  list = new ListItem{data, list};
  if (tail == nullptr) tail = list;
  num_items++;
}

void ListG::append(Ptr data) {
  ListItem* item = new ListItem{data, nullptr};
  if (tail == nullptr) {
    list = item;
  } else {
    tail->next = item;
  }
  tail = item;
  num_items++;
}

void ListG::insert(Ptr data, int index) {
  if (index < 0 && length() == 0) {
    prepend(data);
    return;
  }
  if (index > length()) {
    append(data);
    return;
  }
  ListItem* previous = nullptr;
  ListItem* item = list;
  for (int i = 0; item != nullptr && i < index; i++) {
    previous = item;
    item = item->next;
  }
  if (item == nullptr) {
    append(data);
  } else if (previous == nullptr) {
    prepend(data);
  } else {
    previous->next = new ListItem{data, item};
    num_items++;
  }
}

Ptr ListG::find(CPtr data) {
  for (ListItem* item = list; item != nullptr; item = item->next) {
    if (item->data == data) return item->data;
  }
  return nullptr;
}

ListG::ListItem* ListG::detach(CPtr data) {
  ListItem* previous = nullptr;
  ListItem* item = list;
  while (item != nullptr && item->data != data) {
    previous = item;
    item = item->next;
  }
  if (item == nullptr) return nullptr;
  if (previous == nullptr) {
    list = item->next;
  } else {
    previous->next = item->next;
  }
  if (item == tail) tail = previous;
  if (item == current) current = item->next;
  num_items--;
  return item;
}

Ptr ListG::unlink(CPtr data) {
  ListItem* item = detach(data);
  if (item == nullptr) return nullptr;
  Ptr object = item->data;
  delete item;
  return object;
}

bool ListG::remove(CPtr data) {
  ListItem* item = detach(data);
  if (item == nullptr) return false;
  if (autodelete) deleteObj(item->data);
  delete item;
  return true;
}

Ptr ListG::first() {
  if (list == nullptr) {
    current = nullptr;
    return nullptr;
  }
  current = list->next;
  return list->data;
}

Ptr ListG::next() {
  if (current == nullptr) return nullptr;
  Ptr object = current->data;
  current = current->next;
  return object;
}

// ---------------------------------------------------------------------------
// Hash tables
// ---------------------------------------------------------------------------

Ptr DHashDupKeyString(CPtr p) {
  const char* text = static_cast<const char*>(p);
  char* copy = new char[strlen(text) + 1];
  strcpy(copy, text);
  return copy;
}

Ptr DHashDupKeyPtr(CPtr p) { return const_cast<Ptr>(p); }

void DHashCleanupKeyString(Ptr p) { delete[] static_cast<char*>(p); }

void DHashCleanupKeyPtr(Ptr) {}

unsigned int DHashFromString(CPtr p) {
  unsigned int h = 0;
  for (const signed char* s = static_cast<const signed char*>(p); *s != 0; s++) {
    // Bytes count as signed: 0x80..0xFF add -128..-1, modulo 2^32.
    h = (h << 4) + static_cast<unsigned int>(static_cast<int>(*s));
    // Fold the top four bits back in, then clear them. Without a branch:
    // XOR with zero changes nothing, and clearing the bits of g is the same
    // as keeping the low 28 bits.
    unsigned int g = h & 0xF0000000u;
    h ^= g >> 24;
    h &= 0x0FFFFFFFu;
  }
  return h;
}

unsigned int DHashFromPtr(CPtr p) {
  return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(p));
}

bool DCompareString(CPtr p1, CPtr p2) {
  return strcmp(static_cast<const char*>(p1), static_cast<const char*>(p2)) == 0;
}

bool DComparePtr(CPtr p1, CPtr p2) { return p1 == p2; }

// HashG

HashG::HashG(DKeyType key_type, int size)
    : cur_index(0),
      last_seen(nullptr),
      hash_size(static_cast<int>(GetLargerPrime(static_cast<unsigned int>(size)))),
      item_count(0) {
  if (key_type == KEY_STRING) {
    key_duplicate_function = DHashDupKeyString;
    key_cleanup_function = DHashCleanupKeyString;
    key_hash_function = DHashFromString;
    key_compare_function = DCompareString;
  } else {
    key_duplicate_function = DHashDupKeyPtr;
    key_cleanup_function = DHashCleanupKeyPtr;
    key_hash_function = DHashFromPtr;
    key_compare_function = DComparePtr;
  }
  hash_table = new HashItem*[hash_size]();
}

HashG::~HashG() {
  clear();
  delete[] hash_table;
}

void HashG::clear() {
  for (int i = 0; i < hash_size; i++) {
    HashItem* item = hash_table[i];
    while (item != nullptr) {
      HashItem* following = item->next;
      key_cleanup_function(item->key);
      if (autodelete) deleteObj(item->data);
      delete item;
      item = following;
    }
    hash_table[i] = nullptr;
  }
  item_count = 0;
  last_seen = nullptr;
}

int HashG::length() { return item_count; }

int HashG::itemCount() { return item_count; }

void HashG::resize(int new_size) {
  if (new_size < hash_size) return;
  HashItem** old_table = hash_table;
  int old_size = hash_size;
  hash_size = static_cast<int>(GetLargerPrime(static_cast<unsigned int>(new_size)));
  hash_table = new HashItem*[hash_size]();
  // Each moved entry goes to the head of its new bucket, which reverses the
  // order of entries that land in the same bucket (equal keys included).
  for (int i = 0; i < old_size; i++) {
    HashItem* item = old_table[i];
    while (item != nullptr) {
      HashItem* following = item->next;
      unsigned int index = hashify(item->key);
      item->next = hash_table[index];
      hash_table[index] = item;
      item = following;
    }
  }
  delete[] old_table;
  last_seen = nullptr;
}

void HashG::insert(CPtr key, Ptr data) {
  unsigned int index = hashify(key);
  HashItem* item = new HashItem;
  item->key = key_duplicate_function(key);
  item->data = data;
  item->next = hash_table[index];
  hash_table[index] = item;
  item_count++;
}

Ptr HashG::remove(CPtr key) {
  unsigned int index = hashify(key);
  HashItem* previous = nullptr;
  HashItem* item = hash_table[index];
  while (item != nullptr && !key_compare_function(item->key, key)) {
    previous = item;
    item = item->next;
  }
  if (item == nullptr) return nullptr;

  // An iteration must not outlive a change; never leave it on a freed entry.
  if (item == last_seen) last_seen = nullptr;
  if (previous == nullptr) {
    hash_table[index] = item->next;
  } else {
    previous->next = item->next;
  }
  Ptr result = item->data;
  if (autodelete) {
    deleteObj(result);
    result = nullptr;
  }
  key_cleanup_function(item->key);
  delete item;
  item_count--;
  return result;
}

Ptr HashG::lookup(CPtr key) {
  for (HashItem* item = hash_table[hashify(key)]; item != nullptr; item = item->next) {
    if (key_compare_function(item->key, key)) return item->data;
  }
  return nullptr;
}

Ptr HashG::first(Ptr& key) {
  cur_index = 0;
  return nextBucket(key);
}

Ptr HashG::next(Ptr& key) {
  if (last_seen == nullptr) return nullptr;
  if (last_seen->next != nullptr) {
    last_seen = last_seen->next;
    key = last_seen->key;
    return last_seen->data;
  }
  cur_index++;
  return nextBucket(key);
}

unsigned int HashG::hashify(CPtr key) {
  return key_hash_function(key) % static_cast<unsigned int>(hash_size);
}

Ptr HashG::nextBucket(Ptr& key) {
  while (cur_index < hash_size && hash_table[cur_index] == nullptr) cur_index++;
  if (cur_index == hash_size) {
    last_seen = nullptr;
    return nullptr;
  }
  last_seen = hash_table[cur_index];
  key = last_seen->key;
  return last_seen->data;
}

// LinearHashG

LinearHashG::LinearHashG()
    : cur_index(0), table_size(static_cast<int>(GetLargerPrime(256))), item_count(0) {
  table = new HashItem*[table_size]();
}

LinearHashG::~LinearHashG() {
  clear();
  delete[] table;
}

void LinearHashG::clear() {
  for (int i = 0; i < table_size; i++) {
    if (table[i] == nullptr) continue;
    if (autodelete) deleteObj(table[i]->data);
    delete table[i];
    table[i] = nullptr;
  }
  item_count = 0;
}

int LinearHashG::length() { return item_count; }

int LinearHashG::itemCount() { return item_count; }

void LinearHashG::grow() {
  // At the largest size there is nothing to grow into; placing every entry
  // anew in a table of the same size would only cost a full pass per call.
  if (table_size == DHASH_MAX_SIZE) return;
  HashItem** old_table = table;
  int old_size = table_size;
  table_size = static_cast<int>(GetLargerPrime(static_cast<unsigned int>(table_size)));
  table = new HashItem*[table_size]();
  for (int i = 0; i < old_size; i++) {
    if (old_table[i] == nullptr) continue;
    int slot = homeSlot(old_table[i]->key);
    while (table[slot] != nullptr) slot = nextSlot(slot);
    table[slot] = old_table[i];
  }
  delete[] old_table;
}

void LinearHashG::insert(const String& key, Ptr data) {
  // More than 60 % full, counted before this entry: 5 * n > 3 * size is the
  // exact form of n / size > 0.6.
  if (5 * item_count > 3 * table_size) grow();
  // Only the largest table can get here over 60 % full. It still takes
  // entries, but never its last empty slot: every probe walk of lookup,
  // insert and remove ends at an empty slot.
  assert(item_count < table_size - 1 &&
         "LinearHashG is full: the largest table keeps one slot empty");
  int slot = homeSlot(key);
  while (table[slot] != nullptr) slot = nextSlot(slot);
  HashItem* item = new HashItem;
  item->key = key;
  item->data = data;
  table[slot] = item;
  item_count++;
}

Ptr LinearHashG::remove(const String& key) {
  int hole = findSlot(key);
  if (hole < 0) return nullptr;

  HashItem* item = table[hole];
  Ptr result = item->data;
  if (autodelete) {
    deleteObj(result);
    result = nullptr;
  }
  delete item;
  table[hole] = nullptr;
  item_count--;

  // Backward-shift deletion: walk the rest of the probe run after the new
  // hole. An entry whose home lies cyclically in (hole, j] must stay, since
  // the hole is not on its probe walk; any other entry moves into the hole,
  // which keeps it reachable and leaves the hole at its old slot. Entries
  // only move backward along their walks, so equal keys keep their order.
  for (int j = nextSlot(hole); table[j] != nullptr; j = nextSlot(j)) {
    int home = homeSlot(table[j]->key);
    bool stays = hole < j ? (hole < home && home <= j) : (hole < home || home <= j);
    if (stays) continue;
    table[hole] = table[j];
    table[j] = nullptr;
    hole = j;
  }
  return result;
}

Ptr LinearHashG::lookup(const String& key) {
  int slot = findSlot(key);
  return slot < 0 ? nullptr : table[slot]->data;
}

Ptr LinearHashG::first(String& key) {
  cur_index = 0;
  return next(key);
}

Ptr LinearHashG::next(String& key) {
  while (cur_index < table_size && table[cur_index] == nullptr) cur_index++;
  if (cur_index == table_size) return nullptr;
  HashItem* item = table[cur_index];
  cur_index++;
  key = item->key;
  return item->data;
}

int LinearHashG::homeSlot(const String& key) const {
  return static_cast<int>(DHashFromString(key.cStr()) % static_cast<unsigned int>(table_size));
}

int LinearHashG::nextSlot(int i) const { return i + 1 == table_size ? 0 : i + 1; }

int LinearHashG::findSlot(const String& key) const {
  for (int slot = homeSlot(key); table[slot] != nullptr; slot = nextSlot(slot)) {
    if (table[slot]->key == key) return slot;
  }
  return -1;
}
