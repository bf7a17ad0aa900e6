#ifndef LIBCONTAINER_UTIL_H_
#define LIBCONTAINER_UTIL_H_

/// Table sizes for the hash tables. HashG and LinearHashG only ever use sizes
/// from one fixed list of primes, each roughly half as large again as the one
/// before (from 73 on), so that enlarging a table by one step keeps the size
/// prime and the cost of growing moderate.
///
/// Constant data and a pure function: no ownership, safe from any thread.

// The table sizes, ascending: 11, 19, 37, ... 9230113, 13845163.
extern const unsigned int N_primes[];
// Number of entries in N_primes (34).
extern const unsigned int N_num_primes;

// The first entry of N_primes strictly greater than `x`; the last entry
// (13845163) when there is none.
unsigned int GetLargerPrime(unsigned int x);

#endif  // LIBCONTAINER_UTIL_H_
