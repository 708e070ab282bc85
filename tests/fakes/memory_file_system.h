#pragma once

#include <map>
#include <string>

#include "core/hosts_file_store.h"

// A file system in memory, for running the core's edits many thousand times a
// second (the fuzz targets). Every folder exists; a path names a file or
// nothing. It keeps the parts of the contract the store relies on: createNew
// refuses a taken name, replace with `targetExists` false refuses an occupied
// target, and a file still open for writing cannot be put in place.
class MemoryFileSystem final : public FileSystem {
public:
    std::map<Text, std::string> files;  // path -> contents

    FileSnapshot readFile(const Text& path) override;
    bool lockSaves(const Text& path) override;
    void unlockSaves() override;
    Created createNew(const Text& path, const Text& model, Handle& file) override;
    bool write(Handle file, const char* bytes, int32_t count) override;
    bool flush(Handle file) override;
    bool close(Handle file) override;
    bool replace(const Text& target, const Text& replacement, bool targetExists) override;
    bool remove(const Text& path) override;
    uint32_t processId() override { return 1; }

    // What a finished save must leave: no lock held, no file open.
    bool locked() const { return locked_; }
    size_t openFiles() const { return open_.size(); }

private:
    std::map<Handle, Text> open_;  // handle -> path of a file open for writing
    Handle nextHandle_ = 1;
    bool locked_ = false;
};
