#include "instanceLock.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

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

bool InstanceLock::tryAcquire()
{
    if (m_lock && m_lock->isLocked())
        return true;
    m_lock = std::make_unique<QLockFile>(lockFilePath());
    // A lock held for days must never count as stale by age; only a dead owner frees it.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}

} // namespace platform
