#pragma once

#include "fakes/fake_view.h"
#include "fakes/forwarding_file_system.h"

// The real file system, with its reads and its final replacing step noted in
// a transcript: "read hosts" and "replace hosts". With `refuseReplace` set the
// replacing step fails ("replace refused"), as it does where the user may not
// write the hosts file.
class RecordingFileSystem : public ForwardingFileSystem {
public:
    explicit RecordingFileSystem(Calls& calls)
        : ForwardingFileSystem(systemFileSystem()), calls_(calls) {}

    bool refuseReplace = false;

    FileSnapshot readFile(const Text& path) override {
        calls_.push_back("read hosts");
        return real_.readFile(path);
    }
    bool replace(const Text& target, const Text& replacement, bool targetExists) override {
        if (refuseReplace) {
            calls_.push_back("replace refused");
            return false;
        }
        calls_.push_back("replace hosts");
        return real_.replace(target, replacement, targetExists);
    }

private:
    Calls& calls_;  // not owned
};
