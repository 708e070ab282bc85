#include "fakes/memory_file_system.h"

FileSnapshot MemoryFileSystem::readFile(const Text& path) {
    const auto found = files.find(path);
    if (found == files.end()) return FileSnapshot{FilePresence::Absent, {}};
    const std::string& bytes = found->second;
    return FileSnapshot{FilePresence::Read, ByteBlock(bytes.data(), static_cast<int32_t>(bytes.size()))};
}

bool MemoryFileSystem::lockSaves(const Text&) {
    if (locked_) return false;  // one thread: a second lock is a lock never released
    locked_ = true;
    return true;
}

void MemoryFileSystem::unlockSaves() { locked_ = false; }

FileSystem::Created MemoryFileSystem::createNew(const Text& path, const Text&, Handle& file) {
    if (path.empty()) return Created::Failed;
    if (files.count(path)) return Created::NameTaken;
    files[path];
    file = nextHandle_++;
    open_[file] = path;
    return Created::Yes;
}

bool MemoryFileSystem::write(Handle file, const char* bytes, int32_t count) {
    const auto found = open_.find(file);
    if (found == open_.end() || count < 0) return false;
    files[found->second].append(bytes, static_cast<size_t>(count));
    return true;
}

bool MemoryFileSystem::flush(Handle file) { return open_.count(file) == 1; }

bool MemoryFileSystem::close(Handle file) { return open_.erase(file) == 1; }

bool MemoryFileSystem::replace(const Text& target, const Text& replacement, bool targetExists) {
    const auto from = files.find(replacement);
    if (from == files.end() || target == replacement) return false;
    for (const auto& [handle, path] : open_)
        if (path == replacement) return false;
    if (!targetExists && files.count(target)) return false;
    std::string bytes = std::move(from->second);
    files.erase(from);
    files[target] = std::move(bytes);
    return true;
}

bool MemoryFileSystem::remove(const Text& path) { return files.erase(path) == 1; }
