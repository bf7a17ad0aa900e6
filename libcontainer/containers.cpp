#include "containers.h"

CollectionG::CollectionG() : autodelete(false) {}

CollectionG::~CollectionG() {}

void CollectionG::setAutoDelete(bool b) { autodelete = b; }

void CollectionG::deleteObj(Ptr) {}
