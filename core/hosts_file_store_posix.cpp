// The file store on POSIX systems. Nothing here is shared with Windows but the
// contract: POSIX has no share modes, so readers are kept from half-written
// files by the one-step rename alone.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>  // renameat2
#include <limits>
#include <thread>

#include "core/hosts_file_store.h"

namespace {

constexpr auto kLockWait = std::chrono::seconds(10);
// Large enough that a read per piece costs little; small enough for the stack.
constexpr off_t kPieceSize = 64 * 1024;

// The folder part of `path`: everything before its last '/'.
Text folderOf(const Text& path) {
    const size_t slash = path.rfind('/');
    if (slash == Text::npos) return ".";
    return slash == 0 ? Text("/") : path.substr(0, slash);
}

class PosixFileSystem final : public FileSystem {
public:
    FileSnapshot readFile(const Text& path) override {
        FileSnapshot snapshot;
        // O_NONBLOCK: a FIFO at the path would otherwise hold the open until
        // some writer came; it is then refused below as no regular file.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            snapshot.presence =
                errno == ENOENT || errno == ENOTDIR ? FilePresence::Absent : FilePresence::Unreadable;
            return snapshot;
        }
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_size <= std::numeric_limits<int32_t>::max()) {
            readAll(fd, static_cast<int32_t>(info.st_size), snapshot);
        }
        ::close(fd);
        return snapshot;
    }

    FilePresence readInPieces(const Text& path, const OnPiece& onPiece) override {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return errno == ENOENT || errno == ENOTDIR ? FilePresence::Absent : FilePresence::Unreadable;
        FilePresence presence = FilePresence::Unreadable;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_size <= std::numeric_limits<int32_t>::max()) {
            presence = readPieces(fd, info.st_size, onPiece);
        }
        ::close(fd);
        return presence;
    }

    bool lockSaves(const Text& path) override {
        // The folder is locked, not the file: the file is replaced by every
        // save and may be absent, and a lock on the folder leaves nothing
        // behind.
        const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return false;
        const auto deadline = std::chrono::steady_clock::now() + kLockWait;
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) ||
                std::chrono::steady_clock::now() >= deadline) {
                ::close(fd);
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        lockFd_ = fd;
        return true;
    }

    void unlockSaves() override {
        if (lockFd_ < 0) return;
        ::flock(lockFd_, LOCK_UN);
        ::close(lockFd_);
        lockFd_ = -1;
    }

    Created createNew(const Text& path, const Text& model, Handle& file) override {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) return errno == EEXIST ? Created::NameTaken : Created::Failed;
        if (!takeOwnerAndMode(fd, model)) {
            ::close(fd);
            ::unlink(path.c_str());
            return Created::Failed;
        }
        file = fd;
        return Created::Yes;
    }

    bool write(Handle file, const char* bytes, int32_t count) override {
        ssize_t written;
        do {
            written = ::write(static_cast<int>(file), bytes, static_cast<size_t>(count));
        } while (written < 0 && errno == EINTR);
        return written == count;
    }

    bool flush(Handle file) override { return ::fsync(static_cast<int>(file)) == 0; }

    bool close(Handle file) override { return ::close(static_cast<int>(file)) == 0; }

    bool replace(const Text& target, const Text& replacement, bool targetExists) override {
        if (targetExists) {
            if (!mayReplace(target)) return false;
            if (::rename(replacement.c_str(), target.c_str()) != 0) return false;
        } else if (!moveToFreeName(replacement, target)) {
            return false;
        }
        syncFolder(target);
        return true;
    }

    bool remove(const Text& path) override { return ::unlink(path.c_str()) == 0; }

    uint32_t processId() override { return static_cast<uint32_t>(::getpid()); }

private:
    static void readAll(int fd, int32_t size, FileSnapshot& snapshot) {
        ByteBlock bytes = ByteBlock::tryAllocate(size);
        if (bytes.size() != size) return;  // no memory for it: unreadable
        int32_t got = 0;
        while (got < size) {
            const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(size - got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<int32_t>(n);
        }
        bytes.shrinkTo(got);
        snapshot.bytes = std::move(bytes);
        // A file that shrank while it was read gave only part of itself.
        if (got == size) snapshot.presence = FilePresence::Read;
    }

    // Reads `size` bytes, as readAll does, into one buffer that is used again
    // for each piece.
    static FilePresence readPieces(int fd, off_t size, const OnPiece& onPiece) {
        char buffer[kPieceSize];
        off_t got = 0;
        while (got < size) {
            const auto want = static_cast<size_t>(std::min<off_t>(size - got, kPieceSize));
            const ssize_t n = ::read(fd, buffer, want);
            if (n < 0 && errno == EINTR) continue;
            // A file that shrank while it was read gave only part of itself.
            if (n <= 0) return FilePresence::Unreadable;
            got += n;
            if (!onPiece(std::string_view(buffer, static_cast<size_t>(n)))) break;
        }
        return FilePresence::Read;
    }

    // Root may write any file, so the write bits are asked as well: a file
    // nobody may write stands for "read-only" here. A symbolic link is not
    // replaced: the rename would put a plain file where the link was.
    static bool mayReplace(const Text& target) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
        if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
        return ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
    }

    // Gives the new file the owner and mode of the file it will replace, so a
    // save changes the contents and nothing else.
    static bool takeOwnerAndMode(int fd, const Text& model) {
        struct stat info {};
        if (::stat(model.c_str(), &info) != 0) return errno == ENOENT || errno == ENOTDIR;
        struct stat mine {};
        if (::fstat(fd, &mine) != 0) return false;
        if ((mine.st_uid != info.st_uid || mine.st_gid != info.st_gid) &&
            ::fchown(fd, info.st_uid, info.st_gid) != 0)
            return false;
        return ::fchmod(fd, info.st_mode & 07777) == 0;
    }

    // Moves `from` to `to` only while nothing is at `to`.
    static bool moveToFreeName(const Text& from, const Text& to) {
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno != EINVAL && errno != ENOSYS) return false;
        // A file system without RENAME_NOREPLACE: a hard link fails on an
        // existing name just as well.
        if (::link(from.c_str(), to.c_str()) != 0) return false;
        ::unlink(from.c_str());
        return true;
    }

    // Makes the rename itself durable. The new file is already in place for
    // every reader, so a failure here changes nothing that could be reported.
    static void syncFolder(const Text& path) {
        const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return;
        ::fsync(fd);
        ::close(fd);
    }

    int lockFd_ = -1;
};

}  // namespace

FileSystem& systemFileSystem() {
    static PosixFileSystem files;
    return files;
}

Text systemDirectory() { return "/etc"; }

Text hostsFilePath() { return concatText({systemDirectory(), "/hosts"}); }
