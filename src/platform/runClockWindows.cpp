#include "runClock.h"

#include <windows.h>

namespace platform {
namespace {

using InterruptTimeQuery = void(WINAPI *)(PULONGLONG);

// QueryInterruptTimePrecise (Windows 10 and later) counts the time asleep, as relative
// waitable timers do; the performance counter that the steady clock reads is the fallback
// where it is missing.
InterruptTimeQuery interruptTimeQuery()
{
    static const auto query = reinterpret_cast<InterruptTimeQuery>(reinterpret_cast<void *>(
        ::GetProcAddress(::GetModuleHandleW(L"kernelbase.dll"), "QueryInterruptTimePrecise")));
    return query;
}

} // namespace

RunClock::time_point RunClock::now() noexcept
{
    if (InterruptTimeQuery query = interruptTimeQuery()) {
        ULONGLONG hundredsOfNanoseconds = 0;
        query(&hundredsOfNanoseconds);
        return time_point(std::chrono::nanoseconds(hundredsOfNanoseconds * 100));
    }
    return time_point(std::chrono::steady_clock::now().time_since_epoch());
}

} // namespace platform
