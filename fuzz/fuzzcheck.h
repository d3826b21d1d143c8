#pragma once

// What the fuzz targets expect of a reader beyond not crashing. A broken expectation aborts, so
// that libFuzzer keeps the input that broke it like any other crash.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: expectation failed: %s\n", __FILE__, __LINE__,            \
                         #condition);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace vantry {} // namespace vantry
