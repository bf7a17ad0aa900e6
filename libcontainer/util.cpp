#include "util.h"

const unsigned int N_primes[] = {11,      19,      37,      73,      109,     163,     251,
                                 367,     557,     823,     1237,    1861,    2777,    4177,
                                 6247,    9371,    14057,   21089,   31627,   47431,   71143,
                                 106721,  160073,  240101,  360163,  540217,  810343,  1215497,
                                 1823231, 2734867, 4102283, 6153409, 9230113, 13845163};

const unsigned int N_num_primes = sizeof(N_primes) / sizeof(N_primes[0]);

unsigned int GetLargerPrime(unsigned int x) {
  for (unsigned int i = 0; i < N_num_primes; i++) {
    if (N_primes[i] > x) return N_primes[i];
  }
  return N_primes[N_num_primes - 1];
}
