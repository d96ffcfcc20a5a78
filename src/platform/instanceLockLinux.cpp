#include "instanceLock.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <cerrno>
#include <csignal>

using namespace Qt::StringLiterals;

namespace platform {

InstanceLock::InstanceLock() = default;
InstanceLock::~InstanceLock() = default;

QString InstanceLock::lockFilePath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + u"/kestrion.lock"_s;
}

InstanceLock::Outcome InstanceLock::tryAcquire()
{
    if (m_lock && m_lock->isLocked())
        return Outcome::Acquired;
    m_lock = std::make_unique<QLockFile>(lockFilePath());
    // A lock held for days must never count as stale by age; only a dead owner frees it.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return Outcome::Acquired;
    if (m_lock->error() != QLockFile::LockFailedError)
        return Outcome::Unavailable;
    // Qt also reports a dead owner's lock that it could not remove (a folder turned read-only)
    // as held.
    qint64 owner = 0;
    QString host;
    QString application;
    if (m_lock->getLockInfo(&owner, &host, &application) && owner > 0
        && ::kill(pid_t(owner), 0) != 0 && errno == ESRCH)
        return Outcome::Unavailable;
    return Outcome::HeldByAnotherCopy;
}

} // namespace platform
