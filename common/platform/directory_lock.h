#pragma once

#include <string>

namespace zelt {

// An exclusive hold on a data directory for as long as the object lives, so that two programs
// never share one set of tables: the second would empty the first one's Temp folder and write
// its stale tables over the first one's at exit. The hold is an advisory lock on a small file
// in the directory, which the system lets go of when the process ends, however it ends.
class DirectoryLock {
public:
    DirectoryLock() = default;
    ~DirectoryLock() { release(); }
    DirectoryLock(DirectoryLock&& other) noexcept;
    DirectoryLock& operator=(DirectoryLock&& other) noexcept;
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

    // The file that carries the lock; it holds the number of the process that has it.
    static constexpr const char* FileName = "zelt.lock";

    enum class Result { Taken, InUse, Failed };
    // Takes the lock on folder (which must exist). InUse when another process holds it; its
    // process number is then in holder() when it could be read.
    Result take(const std::string& folder);
    void release();
    bool held() const { return fd_ >= 0; }
    // The process that held the lock when take() found it in use, or 0 when unknown.
    int holder() const { return holder_; }

private:
    int fd_ = -1;
    int holder_ = 0;
};

}  // namespace zelt
