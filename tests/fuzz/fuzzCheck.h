#pragma once

#include <cstdlib>

// An invariant of a fuzz target: a broken one is a crash libFuzzer keeps as a reproducer.
inline void require(bool condition)
{
    if (!condition)
        std::abort();
}
