#include "core/hosts_file_store.h"

#include <algorithm>
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

FilePresence FileSystem::readInPieces(const Text& path, const OnPiece& onPiece) {
    const FileSnapshot snapshot = readFile(path);
    if (snapshot.presence == FilePresence::Read && !snapshot.bytes.empty())
        onPiece(snapshot.bytes.view());
    return snapshot.presence;
}

NextPart partsOf(std::initializer_list<std::string_view> parts) {
    return [next = parts.begin(), end = parts.end()](std::string_view& part) mutable {
        if (next == end) return false;
        part = *next++;
        return true;
    };
}

FileMatch compareFile(FileSystem& files, const Text& path, const NextPart& expected) {
    // Walks the expected parts along with the pieces as they arrive. `part`
    // is what is left of the current expected part.
    std::string_view part;
    bool moreParts = true;
    auto refill = [&] {
        while (part.empty() && moreParts) moreParts = expected(part);
    };
    bool differs = false;
    const FilePresence presence = files.readInPieces(path, [&](std::string_view piece) {
        while (!piece.empty()) {
            refill();
            if (part.empty()) {
                differs = true;  // the file is longer
                return false;
            }
            const size_t count = std::min(piece.size(), part.size());
            if (piece.substr(0, count) != part.substr(0, count)) {
                differs = true;
                return false;
            }
            piece.remove_prefix(count);
            part.remove_prefix(count);
        }
        return true;
    });
    switch (presence) {
    case FilePresence::Absent:
        return FileMatch::Absent;
    case FilePresence::Unreadable:
        return FileMatch::Unreadable;
    case FilePresence::Read:
        break;
    }
    // The file ended before the expected bytes did: it is shorter.
    refill();
    return differs || !part.empty() ? FileMatch::Different : FileMatch::Same;
}

FileMatch compareFile(FileSystem& files, const Text& path,
                      std::initializer_list<std::string_view> expected) {
    return compareFile(files, path, partsOf(expected));
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

// What a save finds at the path, checked under the lock. With no expectation
// the file is read whole: a file that is there but cannot be read is never
// replaced, as its unread contents would be lost. With one, the file is
// compared in pieces and must match it.
struct Expectation {
    FilePresence presence;
    const NextPart& bytes;
};

bool putInPlace(FileSystem& files, const Text& path, const Expectation* expected,
                std::initializer_list<std::string_view> blocks) {
    if (path.empty()) return false;
    if (expected && expected->presence == FilePresence::Unreadable) return false;
    SaveLock lock(files, path);
    if (!lock.held()) return false;

    bool targetExists = false;
    if (expected) {
        const FileMatch match = compareFile(files, path, expected->bytes);
        const bool matches = expected->presence == FilePresence::Absent ? match == FileMatch::Absent
                                                                        : match == FileMatch::Same;
        if (!matches) return false;
        targetExists = match == FileMatch::Same;
    } else {
        const FilePresence presence = files.readFile(path).presence;
        if (presence == FilePresence::Unreadable) return false;
        targetExists = presence == FilePresence::Read;
    }

    const Text temp = writeTempFile(files, path, blocks);
    if (temp.empty()) return false;
    if (files.replace(path, temp, targetExists)) return true;
    files.remove(temp);
    return false;
}

}  // namespace

bool writeWholeFile(FileSystem& files, const Text& path,
                    std::initializer_list<std::string_view> blocks) {
    return putInPlace(files, path, nullptr, blocks);
}

bool writeWholeFileIfUnchanged(FileSystem& files, const Text& path, FilePresence expected,
                               const NextPart& expectedBytes,
                               std::initializer_list<std::string_view> blocks) {
    const Expectation expectation{expected, expectedBytes};
    return putInPlace(files, path, &expectation, blocks);
}

bool writeWholeFileIfUnchanged(FileSystem& files, const Text& path, FilePresence expected,
                               std::initializer_list<std::string_view> expectedBytes,
                               std::initializer_list<std::string_view> blocks) {
    return writeWholeFileIfUnchanged(files, path, expected, partsOf(expectedBytes), blocks);
}

bool writeWholeFileIfUnchanged(FileSystem& files, const Text& path, const FileSnapshot& expected,
                               std::initializer_list<std::string_view> blocks) {
    return writeWholeFileIfUnchanged(files, path, expected.presence, {expected.bytes.view()},
                                     blocks);
}
