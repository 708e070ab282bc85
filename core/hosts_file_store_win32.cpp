// The file store on Windows, with the ANSI file functions. Reading shares the
// file with other readers only, so no program can write it meanwhile; the new
// contents are written to a file of their own, closed to everyone, and put in
// place with ReplaceFileA, which keeps the old file's attributes and security.

#include <windows.h>

#include <algorithm>
#include <limits>

#include "core/hosts_file_store.h"

namespace {

constexpr DWORD kLockWaitMs = 10000;
// Large enough that a read per piece costs little; small enough for the stack.
constexpr DWORD kPieceSize = 64 * 1024;

// Serialises the saves of every copy of this program on the machine: the hosts
// file belongs to the machine, not to a session.
constexpr const char* kSaveMutexName = "Global\\hosts-blacklist.save";

bool isAbsentError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The current file position as a 64-bit value, after moving by `method`.
bool movePointer(HANDLE file, LONGLONG distance, DWORD method, LONGLONG& position) {
    LONG high = static_cast<LONG>(distance >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(file, static_cast<LONG>(distance & 0xFFFFFFFF), &high, method);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
    position = (static_cast<LONGLONG>(high) << 32) | low;
    return true;
}

class Win32FileSystem final : public FileSystem {
public:
    FileSnapshot readFile(const Text& path) override {
        FileSnapshot snapshot;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (isAbsentError(GetLastError())) snapshot.presence = FilePresence::Absent;
            return snapshot;
        }
        LONGLONG here = 0, length = 0, back = 0;
        // The whole 64-bit length is asked for, so a file of 4 GiB and a few
        // bytes does not pass for a file of a few bytes.
        if (movePointer(file, 0, FILE_CURRENT, here) && movePointer(file, 0, FILE_END, length) &&
            movePointer(file, here, FILE_BEGIN, back) &&
            length <= std::numeric_limits<int32_t>::max()) {
            readAll(file, static_cast<int32_t>(length), snapshot);
        }
        CloseHandle(file);
        return snapshot;
    }

    FilePresence readInPieces(const Text& path, const OnPiece& onPiece) override {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return isAbsentError(GetLastError()) ? FilePresence::Absent : FilePresence::Unreadable;
        FilePresence presence = FilePresence::Unreadable;
        LONGLONG here = 0, length = 0, back = 0;
        if (movePointer(file, 0, FILE_CURRENT, here) && movePointer(file, 0, FILE_END, length) &&
            movePointer(file, here, FILE_BEGIN, back) &&
            length <= std::numeric_limits<int32_t>::max()) {
            presence = readPieces(file, length, onPiece);
        }
        CloseHandle(file);
        return presence;
    }

    bool lockSaves(const Text&) override {
        const DWORD start = GetTickCount();
        for (;;) {
            mutex_ = CreateMutexA(nullptr, FALSE, kSaveMutexName);
            if (mutex_) break;
            // Another user's copy may hold a mutex this user cannot open.
            if (GetTickCount() - start >= kLockWaitMs) return false;
            Sleep(10);
        }
        const DWORD waited = GetTickCount() - start;
        const DWORD result = WaitForSingleObject(mutex_, waited < kLockWaitMs ? kLockWaitMs - waited : 0);
        // An abandoned mutex is ours now: its holder died, and a save in
        // progress leaves the hosts file either old or new.
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) return true;
        CloseHandle(mutex_);
        mutex_ = nullptr;
        return false;
    }

    void unlockSaves() override {
        if (!mutex_) return;
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
        mutex_ = nullptr;
    }

    Created createNew(const Text& path, const Text&, Handle& file) override {
        HANDLE created = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Created::NameTaken
                                                                               : Created::Failed;
        }
        file = reinterpret_cast<Handle>(created);
        return Created::Yes;
    }

    bool write(Handle file, const char* bytes, int32_t count) override {
        DWORD written = 0;
        return WriteFile(reinterpret_cast<HANDLE>(file), bytes, static_cast<DWORD>(count), &written,
                         nullptr) &&
               written == static_cast<DWORD>(count);
    }

    bool flush(Handle file) override { return FlushFileBuffers(reinterpret_cast<HANDLE>(file)); }

    bool close(Handle file) override { return CloseHandle(reinterpret_cast<HANDLE>(file)); }

    bool replace(const Text& target, const Text& replacement, bool targetExists) override {
        if (!targetExists)
            return MoveFileExA(replacement.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        // With a backup name ReplaceFileA never leaves the target missing: on
        // the one failure that has moved the old file aside, it is moved back.
        const Text backup = concatText({replacement, ".old"});
        if (ReplaceFileA(target.c_str(), replacement.c_str(), backup.c_str(), 0, nullptr, nullptr)) {
            DeleteFileA(backup.c_str());
            return true;
        }
        if (GetFileAttributesA(target.c_str()) == INVALID_FILE_ATTRIBUTES)
            MoveFileExA(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        else
            DeleteFileA(backup.c_str());
        return false;
    }

    bool remove(const Text& path) override { return DeleteFileA(path.c_str()); }

    uint32_t processId() override { return GetCurrentProcessId(); }

private:
    // One ReadFile call for the whole length.
    static void readAll(HANDLE file, int32_t length, FileSnapshot& snapshot) {
        ByteBlock bytes = ByteBlock::tryAllocate(length);
        if (bytes.size() != length) return;  // no memory for it: unreadable
        DWORD got = 0;
        if (length > 0 && !ReadFile(file, bytes.data(), static_cast<DWORD>(length), &got, nullptr))
            return;
        bytes.shrinkTo(static_cast<int32_t>(got));
        snapshot.bytes = std::move(bytes);
        // Fewer bytes than the length: the file changed while it was read.
        if (static_cast<int32_t>(got) == length) snapshot.presence = FilePresence::Read;
    }

    // Reads `length` bytes into one buffer that is used again for each piece.
    static FilePresence readPieces(HANDLE file, LONGLONG length, const OnPiece& onPiece) {
        char buffer[kPieceSize];
        LONGLONG got = 0;
        while (got < length) {
            const auto want = static_cast<DWORD>(std::min<LONGLONG>(length - got, kPieceSize));
            DWORD n = 0;
            // Fewer bytes than the length: the file changed while it was read.
            if (!ReadFile(file, buffer, want, &n, nullptr) || n == 0) return FilePresence::Unreadable;
            got += n;
            if (!onPiece(std::string_view(buffer, n))) break;
        }
        return FilePresence::Read;
    }

    HANDLE mutex_ = nullptr;
};

}  // namespace

FileSystem& systemFileSystem() {
    static Win32FileSystem files;
    return files;
}

Text systemDirectory() {
    char buffer[MAX_PATH];
    const UINT length = GetSystemDirectoryA(buffer, MAX_PATH);
    // A failed call, or a directory longer than the buffer, gives no
    // directory: a path built from a part of it could name another file.
    if (length == 0 || length >= MAX_PATH) return Text();
    return Text(buffer, length);
}

Text hostsFilePath() {
    const Text directory = systemDirectory();
    if (directory.empty()) return Text();
    return concatText({directory, "\\drivers\\etc\\hosts"});
}
