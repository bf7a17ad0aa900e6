#ifndef LIBCONTAINER_TYPES_H_
#define LIBCONTAINER_TYPES_H_

/// The untyped object pointers in which the generic containers store and look
/// up objects. A container never looks behind them; what they point to belongs
/// to the caller unless the container's `autodelete` flag says otherwise.

// An object pointer as the containers store it.
typedef void* Ptr;

// The read-only form, used where a container only compares or hashes.
typedef const void* CPtr;

#endif  // LIBCONTAINER_TYPES_H_
