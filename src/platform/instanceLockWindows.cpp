#include "instanceLock.h"

#include <QString>
#include <iterator>
#include <windows.h>

using namespace Qt::StringLiterals;

namespace platform {
namespace {

// The "Local" namespace is the desktop session's; the user's name keeps two accounts started
// in one session (Run as) apart.
QString mutexName()
{
    wchar_t user[256];
    DWORD length = DWORD(std::size(user));
    const QString userName
        = GetUserNameW(user, &length) ? QString::fromWCharArray(user) : QString();
    return u"Local\\org.kestrion.Kestrion-"_s + userName;
}

} // namespace

InstanceLock::InstanceLock() = default;

InstanceLock::~InstanceLock()
{
    if (m_mutex)
        CloseHandle(m_mutex);
}

InstanceLock::Outcome InstanceLock::tryAcquire()
{
    if (m_mutex)
        return Outcome::Acquired;
    const QString name = mutexName();
    HANDLE mutex = CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t *>(name.utf16()));
    // Denied: the same user's copy started as administrator holds it.
    if (!mutex)
        return GetLastError() == ERROR_ACCESS_DENIED ? Outcome::HeldByAnotherCopy
                                                     : Outcome::Unavailable;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return Outcome::HeldByAnotherCopy;
    }
    m_mutex = mutex;
    return Outcome::Acquired;
}

} // namespace platform
