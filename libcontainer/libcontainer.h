#ifndef LIBCONTAINER_LIBCONTAINER_H_
#define LIBCONTAINER_LIBCONTAINER_H_

/// The whole library in one include: strings, tokenizing, line reading,
/// string arrays and the generic pointer containers.

#include "types.h"
#include "string.h"
#include "tokenizer.h"
#include "util.h"
#include "vector.h"
#include "stringarray.h"
#include "containers.h"
#include "queue.h"
#include "linereader.h"

#endif  // LIBCONTAINER_LIBCONTAINER_H_
