#include "processControl.h"

#include <cstdlib>

namespace platform {
namespace {

TerminateHandler &installedHandler()
{
    static TerminateHandler handler;
    return handler;
}

} // namespace

void setTerminateHandler(TerminateHandler handler)
{
    installedHandler() = std::move(handler);
}

void terminateProcess(int exitCode)
{
    if (installedHandler()) {
        installedHandler()(exitCode);
        return;
    }
    std::_Exit(exitCode);
}

} // namespace platform
