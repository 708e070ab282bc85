#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string_view>

#include "core/text_ops.h"

// Where the hosts file lies, and how it is read and written whole. A save never
// leaves a half-written file: the new contents go to a new file in the same
// folder, which takes the old file's place in one step once it is written
// whole and closed.

// What a read found at a path.
enum class FilePresence {
    Absent,      // no file there, or a folder on the way to it is missing
    Read,        // read whole: the snapshot's bytes are the file's contents
    Unreadable,  // something is there but could not be read whole
};

struct FileSnapshot {
    FilePresence presence = FilePresence::Unreadable;
    ByteBlock bytes;  // what arrived; empty unless presence is Read
};

// True when both saw the same readable state: both absent, or both read with
// the same bytes. An unreadable snapshot matches nothing, not even itself.
bool sameContents(const FileSnapshot& a, const FileSnapshot& b);

// How the file at a path compares with the bytes a save expects to find there.
enum class FileMatch {
    Absent,      // no file there, or a folder on the way to it is missing
    Same,        // read to its end: exactly the expected bytes
    Different,   // read far enough to differ from them
    Unreadable,  // something is there but could not be read to its end
};

// The operating-system calls the store is made of: one implementation per
// platform, and a seam where tests make any single call fail. One thread uses
// an object at a time.
class FileSystem {
public:
    using Handle = intptr_t;
    enum class Created { Yes, NameTaken, Failed };

    virtual ~FileSystem() = default;

    // Reads the file at `path` whole. Never fails: trouble shows in `presence`.
    virtual FileSnapshot readFile(const Text& path) = 0;

    // Reads the file at `path` from its start in pieces, handing each to
    // `onPiece`, which returns false to stop. Absent, Unreadable (where
    // readFile would give Unreadable), or Read once the file has been read to
    // its end or `onPiece` stopped. No copy of the whole file is made. The
    // default reads it whole with readFile and hands that over as one piece.
    using OnPiece = std::function<bool(std::string_view piece)>;
    virtual FilePresence readInPieces(const Text& path, const OnPiece& onPiece);

    // Serialises the saves of every copy of this program to the file at
    // `path`. False when the lock cannot be had within a few seconds.
    virtual bool lockSaves(const Text& path) = 0;
    virtual void unlockSaves() = 0;

    // Creates an empty file at `path`, open for writing and closed to other
    // writers. NameTaken when something already has that name. The new file
    // takes the owner and permissions of the file at `model`, where the
    // platform keeps them per file and one is there.
    virtual Created createNew(const Text& path, const Text& model, Handle& file) = 0;
    // Writes all `count` bytes in one call; a short write is a failure.
    virtual bool write(Handle file, const char* bytes, int32_t count) = 0;
    virtual bool flush(Handle file) = 0;
    // Closes `file`; false when the system reports that the close failed.
    virtual bool close(Handle file) = 0;

    // Puts the file `replacement` in the place of `target` in one step: every
    // reader sees the old file or the new one, whole. With `targetExists`
    // false it fails when a file has appeared at `target` meanwhile. It fails
    // and changes nothing when `target` is read-only or may not be replaced by
    // this user. On failure `replacement` is left where it was.
    virtual bool replace(const Text& target, const Text& replacement, bool targetExists) = 0;
    virtual bool remove(const Text& path) = 0;

    virtual uint32_t processId() = 0;
};

// The platform's own file system, for the life of the program.
FileSystem& systemFileSystem();

// The folder the platform keeps its system files in ("C:\Windows\system32" on
// Windows, "/etc" elsewhere).
Text systemDirectory();

// The hosts file: on Windows systemDirectory() followed directly by
// "\drivers\etc\hosts"; elsewhere "/etc/hosts". Asked anew at every call.
Text hostsFilePath();

// Reads the file whole; an empty path reads as unreadable without touching
// the file system.
FileSnapshot readSnapshot(FileSystem& files, const Text& path);

// All of the file, or the empty block when it is absent, empty or unreadable.
ByteBlock readWholeFile(FileSystem& files, const Text& path);

// Puts `blocks`, one after another, in place of the file at `path` (creating
// it when absent). True when the new file was written, closed and put in
// place; on false the file at `path` is as it was and no new file is left
// behind. An empty path, an absent folder, a read-only or unreadable file, and
// one another program holds open against writers, all give false.
bool writeWholeFile(FileSystem& files, const Text& path,
                    std::initializer_list<std::string_view> blocks);

// Bytes handed out part after part: each call sets `part` to the next part
// and returns true, or returns false when there are no more. It is used up
// as it is read: give each call that takes one a NextPart of its own.
using NextPart = std::function<bool(std::string_view& part)>;

// The parts of `parts`, in order. The list lives only to the end of the
// statement that makes it, so use the result within that statement.
NextPart partsOf(std::initializer_list<std::string_view> parts);

// Compares the file at `path` with the bytes of `expected`, one part after
// another, reading it in pieces.
FileMatch compareFile(FileSystem& files, const Text& path, const NextPart& expected);
FileMatch compareFile(FileSystem& files, const Text& path,
                      std::initializer_list<std::string_view> expected);

// writeWholeFile, but only while the file still is as the caller last saw it,
// checked under the save lock: absent when `expected` is Absent, holding
// exactly the bytes of `expectedBytes` one after another when it is Read. An
// Unreadable expectation matches nothing.
bool writeWholeFileIfUnchanged(FileSystem& files, const Text& path, FilePresence expected,
                               const NextPart& expectedBytes,
                               std::initializer_list<std::string_view> blocks);
bool writeWholeFileIfUnchanged(FileSystem& files, const Text& path, FilePresence expected,
                               std::initializer_list<std::string_view> expectedBytes,
                               std::initializer_list<std::string_view> blocks);

// The same, with the expectation a snapshot (sameContents).
bool writeWholeFileIfUnchanged(FileSystem& files, const Text& path, const FileSnapshot& expected,
                               std::initializer_list<std::string_view> blocks);
