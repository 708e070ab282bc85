#pragma once

#include "core/hosts_file_store.h"
#include "fakes/fake_view.h"

// The real file system, with its reads and its final replacing step noted in
// a transcript: "read hosts" and "replace hosts". With `refuseReplace` set the
// replacing step fails ("replace refused"), as it does where the user may not
// write the hosts file.
class RecordingFileSystem : public FileSystem {
public:
    explicit RecordingFileSystem(Calls& calls) : calls_(calls) {}

    bool refuseReplace = false;

    FileSnapshot readFile(const Text& path) override {
        calls_.push_back("read hosts");
        return real_.readFile(path);
    }
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
        if (refuseReplace) {
            calls_.push_back("replace refused");
            return false;
        }
        calls_.push_back("replace hosts");
        return real_.replace(target, replacement, targetExists);
    }
    bool remove(const Text& path) override { return real_.remove(path); }
    uint32_t processId() override { return real_.processId(); }

private:
    Calls& calls_;  // not owned
    FileSystem& real_ = systemFileSystem();
};
