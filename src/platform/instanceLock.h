#pragma once

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
        // The lock file cannot be made or read (a read-only or full runtime folder): whether
        // another copy runs is unknown.
        Unavailable,
    };
    Outcome tryAcquire();

    static QString lockFilePath();

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace platform
