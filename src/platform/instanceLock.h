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

    // False when another live process holds the lock; a lock left by a dead process is taken over.
    bool tryAcquire();

    static QString lockFilePath();

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace platform
