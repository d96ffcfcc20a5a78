#pragma once

#include <chrono>

namespace platform {

// The clock a run keeps time by. Unlike the steady clock it goes on while the machine is
// suspended, so a run stays with the wall clock that the channel lives by: on Linux
// CLOCK_BOOTTIME, on Windows the interrupt time with the time asleep counted in.
struct RunClock
{
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<RunClock>;
    static constexpr bool is_steady = true;

    static time_point now() noexcept;
    // A moment as whole milliseconds, for plans that count in them.
    static long long milliseconds(time_point time)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch())
            .count();
    }
};

} // namespace platform
