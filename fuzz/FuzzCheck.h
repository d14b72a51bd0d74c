#pragma once

// The check of the fuzz targets: a broken promise of the code under test
// becomes a crash the fuzzer records, with the promise named.

#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Aborts with `what` when `condition` does not hold.
inline void require(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

} // namespace fuzz
