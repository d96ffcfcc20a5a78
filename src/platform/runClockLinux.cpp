#include "runClock.h"

#include <time.h>

namespace platform {

RunClock::time_point RunClock::now() noexcept
{
    timespec now {};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return time_point(std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec));
}

} // namespace platform
