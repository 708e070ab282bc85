#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the benchmark programs share: the hosts files they are given, a
// scratch folder for the copies they edit, and plain file calls.

// One hosts file to measure on, named on the command line as LABEL=PATH.
struct BenchInput {
    std::string label;  // short name for the tables: "84k", "1M"
    std::string path;   // where the original lies; it is never written
    std::string bytes;  // its contents
};

// Takes every `LABEL=PATH` argument out of argv (the rest stays for the
// benchmark library) and reads each file. Exits with a message when none is
// given or one cannot be read.
std::vector<BenchInput> takeInputs(int& argc, char** argv);

// Removes `--name` or `--name=value` from argv; true when it was there, with
// its value (or the empty text) in `value`.
bool takeFlag(int& argc, char** argv, std::string_view name, std::string* value = nullptr);

// The inputs named by `--growth=SMALL:LARGE`, by index into `inputs`; both
// -1 when the flag is absent. Exits when a label names no input.
std::pair<int, int> takeGrowthPair(int& argc, char** argv, const std::vector<BenchInput>& inputs);

// A new folder in the system's temporary folder (or $TMPDIR), removed with
// all it holds when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string path(std::string_view name) const;

private:
    std::string root_;
};

// The whole file, or exits with a message.
std::string readFileOrExit(const std::string& path);

// Writes `bytes` as the whole file at `path` and syncs it to disk, so that no
// dirty page of it is left for a later fsync to pay for. Exits on failure.
void writeFileSynced(const std::string& path, std::string_view bytes);

// The number of CR LF in `bytes`: the lines of a hosts file, for the tables.
int countLines(std::string_view bytes);
