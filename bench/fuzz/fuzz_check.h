#pragma once
// The fuzz targets' one assertion: stays on in release builds (unlike
// assert) and stops the run with the broken invariant's words, so that
// libFuzzer keeps the input that broke it.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                                        \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, what); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)
