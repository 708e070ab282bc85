#include "fakes/faulty_file_system.h"

const char* stepName(SaveStep step) {
    switch (step) {
    case SaveStep::ReadFile: return "readFile";
    case SaveStep::LockSaves: return "lockSaves";
    case SaveStep::CreateNew: return "createNew";
    case SaveStep::Write: return "write";
    case SaveStep::ShortWrite: return "short write";
    case SaveStep::Flush: return "flush";
    case SaveStep::Close: return "close";
    case SaveStep::Replace: return "replace";
    }
    return "?";
}

bool FaultyFileSystem::fails(SaveStep kind) {
    if (beforeCall) beforeCall(kind);
    const int count = ++counts_[kindOf(kind)];
    if (failed_ || nth_ <= 0 || kindOf(step_) != kindOf(kind) || count != nth_) return false;
    failed_ = true;
    return true;
}

FileSnapshot FaultyFileSystem::readFile(const Text& path) {
    FileSnapshot snapshot = fails(SaveStep::ReadFile) ? FileSnapshot{} : real_.readFile(path);
    leave(SaveStep::ReadFile);
    return snapshot;
}

bool FaultyFileSystem::lockSaves(const Text& path) {
    const bool held = !fails(SaveStep::LockSaves) && real_.lockSaves(path);
    locked_ = held;
    leave(SaveStep::LockSaves);
    return held;
}

void FaultyFileSystem::unlockSaves() {
    locked_ = false;
    real_.unlockSaves();
}

FileSystem::Created FaultyFileSystem::createNew(const Text& path, const Text& model, Handle& file) {
    Created created = Created::Failed;
    if (!fails(SaveStep::CreateNew)) {
        created = real_.createNew(path, model, file);
        if (created == Created::Yes) {
            open_.insert(file);
            lastCreated_ = path;
        }
    }
    leave(SaveStep::CreateNew);
    return created;
}

bool FaultyFileSystem::write(Handle file, const char* bytes, int32_t count) {
    bool written = false;
    if (!fails(SaveStep::Write)) {
        written = real_.write(file, bytes, count);
    } else if (step_ == SaveStep::ShortWrite && count / 2 > 0) {
        real_.write(file, bytes, count / 2);
    }
    leave(SaveStep::Write);
    return written;
}

bool FaultyFileSystem::flush(Handle file) {
    const bool fail = fails(SaveStep::Flush);
    const bool flushed = real_.flush(file) && !fail;
    leave(SaveStep::Flush);
    return flushed;
}

bool FaultyFileSystem::close(Handle file) {
    const bool fail = fails(SaveStep::Close);
    open_.erase(file);
    const bool closed = real_.close(file) && !fail;
    leave(SaveStep::Close);
    return closed;
}

bool FaultyFileSystem::replace(const Text& target, const Text& replacement, bool targetExists) {
    const bool replaced = !fails(SaveStep::Replace) && real_.replace(target, replacement, targetExists);
    leave(SaveStep::Replace);
    return replaced;
}
