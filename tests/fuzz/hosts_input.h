#pragma once

// Hosts files made from fuzz input, for the targets that list and edit them.

#include <cstdint>
#include <string>

#include "core/hosts_blacklist.h"
#include "fakes/memory_file_system.h"
#include "fuzz/reference.h"

namespace fuzzing {

// Pieces that hosts files are made of. Built from these, files have many equal
// lines, entries that begin with other entries, comments, odd line ends, lead
// bytes before breaks and NUL bytes.
inline const char* const kTokens[32] = {
    "\r\n", "\r\n", "\r\n", " ", " ", "1", "2", "127.0.0.1", "0.0.0.0", "a", "b", "a.com",
    "#", "\t", "\xb0", "\xd6\xd0", "\r", "\n", "x", "\0", ".", "\xff", "A", "b.com",
    "\r\n1 a", "\r\n2 b", "\r\n# c", " a", "1 a", "\xb0\r\n", "  ", "\r\n\r\n"};

// `bytes` as they are, or with each byte standing for one of the tokens.
inline std::string hostsBytes(const uint8_t* bytes, size_t size, bool fromTokens) {
    if (!fromTokens) return std::string(reinterpret_cast<const char*>(bytes), size);
    std::string file;
    for (size_t i = 0; i < size; ++i) {
        const char* token = kTokens[bytes[i] % 32];
        file += token[0] == '\0' ? std::string(1, '\0') : std::string(token);
    }
    return file;
}

// The text of a file (before its first NUL) and what follows.
struct FileParts {
    std::string text, tail;
};

inline FileParts partsOf(const std::string& file) {
    const size_t nul = file.find('\0');
    if (nul == std::string::npos) return {file, ""};
    return {file.substr(0, nul), file.substr(nul)};
}

inline const Text kHostsPath = "hosts";

// A blacklist over a hosts file in memory, read once.
struct Session {
    MemoryFileSystem files;
    HostsBlacklist blacklist{files, [] { return kHostsPath; }};
    std::vector<BlockedEntry> listed;

    explicit Session(const std::string& file) {
        files.files[kHostsPath] = file;
        listed = blacklist.refreshList();
    }
    const std::string& file() { return files.files[kHostsPath]; }
    // After every save: only the hosts file is there, nothing is open or locked.
    bool clean() const { return files.files.size() == 1 && files.files.count(kHostsPath) && !files.locked() &&
                                files.openFiles() == 0; }
};

inline bool sameEntries(const std::vector<BlockedEntry>& listed, const std::vector<reference::Entry>& expected) {
    if (listed.size() != expected.size()) return false;
    for (size_t i = 0; i < listed.size(); ++i)
        if (listed[i].site != expected[i].site || listed[i].address != expected[i].address) return false;
    return true;
}

}  // namespace fuzzing
