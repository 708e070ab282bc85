#pragma once

#include <array>
#include <functional>
#include <set>

#include "fakes/forwarding_file_system.h"

// The steps of a save that can be made to fail. Each names one kind of call of
// FileSystem, except ShortWrite: a write that puts part of its bytes into the
// file and then reports failure (counted among the writes).
enum class SaveStep { ReadFile, LockSaves, CreateNew, Write, ShortWrite, Flush, Close, Replace };

constexpr std::array kAllSaveSteps = {SaveStep::ReadFile, SaveStep::LockSaves, SaveStep::CreateNew,
                                      SaveStep::Write,    SaveStep::ShortWrite, SaveStep::Flush,
                                      SaveStep::Close,    SaveStep::Replace};

const char* stepName(SaveStep step);

// Forwards every call to a real file system and makes one chosen call fail:
// the `nth` call (counted from 1) of the kind `step` names. A failing call
// does what the platform's failure would leave behind:
// - ReadFile: reads nothing, the file shows as unreadable;
// - LockSaves, CreateNew, Write, Replace: the call is not made;
// - ShortWrite: half of the bytes (rounded down) are written;
// - Flush, Close: the call is made, then reported failed (a close that fails
//   still ends the handle, as it does on both platforms).
class FaultyFileSystem final : public ForwardingFileSystem {
public:
    explicit FaultyFileSystem(FileSystem& real) : ForwardingFileSystem(real) {}

    void failAt(SaveStep step, int nth) {
        step_ = step;
        nth_ = nth;
    }
    // True once the planned failure has been handed out.
    bool failed() const { return failed_; }
    // How many calls of the kind `step` counts were made so far.
    int calls(SaveStep step) const { return counts_[kindOf(step)]; }
    // Files created and not yet closed, and whether the save lock is held:
    // both must be none after every save, failed or not.
    size_t openFiles() const { return open_.size(); }
    bool locked() const { return locked_; }
    // The name of the last file the store created.
    const Text& lastCreated() const { return lastCreated_; }

    // Called just before a call of `step`'s kind is made (or would be made)
    // and just after it: lets a test act as another program at that moment.
    std::function<void(SaveStep)> beforeCall, afterCall;

    FileSnapshot readFile(const Text& path) override;
    bool lockSaves(const Text& path) override;
    void unlockSaves() override;
    Created createNew(const Text& path, const Text& model, Handle& file) override;
    bool write(Handle file, const char* bytes, int32_t count) override;
    bool flush(Handle file) override;
    bool close(Handle file) override;
    bool replace(const Text& target, const Text& replacement, bool targetExists) override;

private:
    static size_t kindOf(SaveStep step) {
        return static_cast<size_t>(step == SaveStep::ShortWrite ? SaveStep::Write : step);
    }
    // Counts a call of `kind` (after the hook before it); true when it is the
    // call planned to fail.
    bool fails(SaveStep kind);
    void leave(SaveStep kind) {
        if (afterCall) afterCall(kind);
    }

    SaveStep step_ = SaveStep::ReadFile;
    int nth_ = 0;  // 0: nothing fails
    bool failed_ = false;
    std::array<int, kAllSaveSteps.size()> counts_{};
    std::set<Handle> open_;
    bool locked_ = false;
    Text lastCreated_;
};
