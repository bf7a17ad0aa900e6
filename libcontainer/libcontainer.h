#ifndef LIBCONTAINER_LIBCONTAINER_H_
#define LIBCONTAINER_LIBCONTAINER_H_

/// The whole library in one include: strings, tokenizing, line reading,
/// string arrays and the generic pointer containers.

#include "containers.h"
#include "linereader.h"
#include "queue.h"
#include "string.h"
#include "stringarray.h"
#include "tokenizer.h"
#include "types.h"
#include "util.h"
#include "vector.h"

#endif  // LIBCONTAINER_LIBCONTAINER_H_
