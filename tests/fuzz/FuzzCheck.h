#pragma once

#include <cstdio>
#include <cstdlib>

// A property that does not hold: say which and abort, so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition, ...)                                         \
    do {                                                                   \
        if (!(condition)) {                                                \
            std::fprintf(stderr, "property failed: %s\n    ", #condition); \
            std::fprintf(stderr, __VA_ARGS__);                             \
            std::fputc('\n', stderr);                                      \
            std::abort();                                                  \
        }                                                                  \
    } while (0)
