#pragma once

#include <QtGlobal>
#include <memory>

class QLockFile;
class QString;

namespace platform {

// One running copy per user and desktop session, held for the life of the owner.
class InstanceLock
{
public:
    InstanceLock();
    ~InstanceLock();

    enum class Outcome {
        Acquired,
        // Only this refuses a start: a lock left by a dead process is taken over.
        HeldByAnotherCopy,
        // The lock cannot be made or read (a read-only or full runtime folder): whether
        // another copy runs is unknown.
        Unavailable,
    };
    Outcome tryAcquire();

#ifdef Q_OS_WIN
private:
    // A named mutex of the session: the system closes it with the last process that holds it,
    // so a crashed copy leaves nothing behind.
    void *m_mutex = nullptr;
#else
    static QString lockFilePath();

private:
    std::unique_ptr<QLockFile> m_lock;
#endif
};

} // namespace platform
