#include "core/hosts_file_store.h"

#include <limits>
#include <string>

bool sameContents(const FileSnapshot& a, const FileSnapshot& b) {
    if (a.presence != b.presence || a.presence == FilePresence::Unreadable) return false;
    return a.bytes == b.bytes;
}

FileSnapshot readSnapshot(FileSystem& files, const Text& path) {
    if (path.empty()) return FileSnapshot{};
    return files.readFile(path);
}

ByteBlock readWholeFile(FileSystem& files, const Text& path) {
    FileSnapshot snapshot = readSnapshot(files, path);
    return std::move(snapshot.bytes);
}

namespace {

class SaveLock {
public:
    SaveLock(FileSystem& files, const Text& path) : files_(files), held_(files.lockSaves(path)) {}
    ~SaveLock() {
        if (held_) files_.unlockSaves();
    }
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;
    bool held() const { return held_; }

private:
    FileSystem& files_;  // not owned
    bool held_;
};

// A name beside `path` that no other process of this program uses: the
// process id, and a count for the rare name a crashed process left behind.
Text tempNameFor(FileSystem& files, const Text& path, int attempt) {
    return concatText({path, ".hbl-", std::to_string(files.processId()), "-",
                       std::to_string(attempt), ".tmp"});
}

// Writes the blocks to a new file beside `path`; returns its name, or the
// empty text after removing whatever it made.
Text writeTempFile(FileSystem& files, const Text& path,
                   std::initializer_list<std::string_view> blocks) {
    constexpr int kAttempts = 8;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const Text temp = tempNameFor(files, path, attempt);
        FileSystem::Handle file{};
        switch (files.createNew(temp, path, file)) {
        case FileSystem::Created::NameTaken:
            continue;
        case FileSystem::Created::Failed:
            return Text();
        case FileSystem::Created::Yes:
            break;
        }
        bool written = true;
        for (std::string_view block : blocks) {
            if (block.empty()) continue;
            // A write takes a 32-bit count: a longer block is refused, not cut.
            if (block.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ||
                !files.write(file, block.data(), static_cast<int32_t>(block.size()))) {
                written = false;
                break;
            }
        }
        written = written && files.flush(file);
        // Closed on every path; a failed close counts as a failed write.
        written = files.close(file) && written;
        if (written) return temp;
        files.remove(temp);
        return Text();
    }
    return Text();
}

bool putInPlace(FileSystem& files, const Text& path, const FileSnapshot* expected,
                std::initializer_list<std::string_view> blocks) {
    if (path.empty()) return false;
    SaveLock lock(files, path);
    if (!lock.held()) return false;

    const FileSnapshot current = files.readFile(path);
    // A file that is there but cannot be read is never replaced: its unread
    // contents would be lost.
    if (current.presence == FilePresence::Unreadable) return false;
    if (expected && !sameContents(current, *expected)) return false;

    const Text temp = writeTempFile(files, path, blocks);
    if (temp.empty()) return false;
    if (files.replace(path, temp, current.presence == FilePresence::Read)) return true;
    files.remove(temp);
    return false;
}

}  // namespace

bool writeWholeFile(FileSystem& files, const Text& path,
                    std::initializer_list<std::string_view> blocks) {
    return putInPlace(files, path, nullptr, blocks);
}

bool writeWholeFileIfUnchanged(FileSystem& files, const Text& path, const FileSnapshot& expected,
                               std::initializer_list<std::string_view> blocks) {
    return putInPlace(files, path, &expected, blocks);
}
