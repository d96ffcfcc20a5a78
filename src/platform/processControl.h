#pragma once

#include <functional>

namespace platform {

// Ends the process at once: no further handler runs, no window is asked to close.
void terminateProcess(int exitCode);

// Tests intercept termination; the caller then simply returns.
using TerminateHandler = std::function<void(int exitCode)>;
void setTerminateHandler(TerminateHandler handler);

} // namespace platform
