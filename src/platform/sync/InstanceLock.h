#pragma once

// The single-instance lock: a lock file named after the instance, held with flock(). The kernel
// drops the lock when the holder exits in any way, so a crashed launcher never blocks the next.
//
// The file lives in $XDG_RUNTIME_DIR, or in /tmp when that is unset or unusable; in /tmp the
// user id is part of the file name, so users of one machine do not block each other.
//
// Thread rules: Acquire may be called from any thread. An InstanceLock is owned by one thread at
// a time; destroying it releases the lock.

#include <memory>
#include <string>

namespace platform {

class InstanceLock
{
public:
    // Takes the lock named strName. Returns null with bAlreadyHeld set when another holder (any
    // process, or another InstanceLock in this one) has it, and null with bAlreadyHeld clear on
    // any other failure (an empty name, a file that cannot be created).
    static std::unique_ptr<InstanceLock> Acquire(const std::wstring& strName, bool& bAlreadyHeld);

    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Path of the lock file, for messages.
    const std::wstring& GetPath() const { return m_strPath; }

    // The lock file's path for strName, without taking anything.
    static std::wstring GetLockPath(const std::wstring& strName);

private:
    InstanceLock(int hFile, std::wstring strPath);

    int m_hFile;
    std::wstring m_strPath;
};

} // namespace platform
