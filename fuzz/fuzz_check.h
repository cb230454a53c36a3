// A property that a fuzz input broke: report it and abort, so that
// libFuzzer keeps the input as a crash.
#ifndef TIDECHARTER_FUZZ_FUZZ_CHECK_H
#define TIDECHARTER_FUZZ_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                       \
  do {                                                                              \
    if (!(condition)) {                                                             \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)

#endif
