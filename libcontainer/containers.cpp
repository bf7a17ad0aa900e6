#include "containers.h"

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
