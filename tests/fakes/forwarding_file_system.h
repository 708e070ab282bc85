#pragma once

#include "core/hosts_file_store.h"

// Forwards every call to another file system, except readInPieces: that keeps
// FileSystem's own version, which reads the whole file through readFile, so
// every read of the hosts file passes through readFile. Fakes derive from it
// and override just the calls they change.
class ForwardingFileSystem : public FileSystem {
public:
    explicit ForwardingFileSystem(FileSystem& real) : real_(real) {}

    FileSnapshot readFile(const Text& path) override { return real_.readFile(path); }
    bool lockSaves(const Text& path) override { return real_.lockSaves(path); }
    void unlockSaves() override { real_.unlockSaves(); }
    Created createNew(const Text& path, const Text& model, Handle& file) override {
        return real_.createNew(path, model, file);
    }
    bool write(Handle file, const char* bytes, int32_t count) override {
        return real_.write(file, bytes, count);
    }
    bool flush(Handle file) override { return real_.flush(file); }
    bool close(Handle file) override { return real_.close(file); }
    bool replace(const Text& target, const Text& replacement, bool targetExists) override {
        return real_.replace(target, replacement, targetExists);
    }
    bool remove(const Text& path) override { return real_.remove(path); }
    uint32_t processId() override { return real_.processId(); }

protected:
    FileSystem& real_;  // not owned
};
