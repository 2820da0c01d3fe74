#pragma once

#include <cstdio>
#include <cstdlib>

// A property a fuzz target holds to: when it breaks, say which and abort, so
// libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(c)                                                                              \
    ((c) ? void()                                                                                  \
         : (std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #c),          \
            std::abort()))
