#include "runPriority.h"

#include <windows.h>

namespace platform {
namespace {

// Raised and restored by the one thread that keeps the run's time.
bool raised = false;

} // namespace

void raiseRunPriority()
{
    raised = ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

void restoreRunPriority()
{
    if (raised)
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    raised = false;
}

bool runPriorityRaised()
{
    return raised;
}

} // namespace platform
