#include "bench/bench_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

void dropArg(int& argc, char** argv, int index) {
    for (int j = index; j + 1 < argc; ++j) argv[j] = argv[j + 1];
    --argc;
}

}  // namespace

bool takeFlag(int& argc, char** argv, std::string_view name, std::string* value) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.substr(0, 2) != "--" || arg.substr(2, name.size()) != name) continue;
        const std::string_view rest = arg.substr(2 + name.size());
        if (!rest.empty() && rest[0] != '=') continue;
        if (value) *value = std::string(rest.empty() ? rest : rest.substr(1));
        dropArg(argc, argv, i);
        return true;
    }
    return false;
}

std::vector<BenchInput> takeInputs(int& argc, char** argv) {
    std::vector<BenchInput> inputs;
    for (int i = 1; i < argc;) {
        const std::string arg = argv[i];
        const size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 || eq == std::string::npos || eq == 0) {
            ++i;
            continue;
        }
        BenchInput input{arg.substr(0, eq), arg.substr(eq + 1), {}};
        input.bytes = readFileOrExit(input.path);
        inputs.push_back(std::move(input));
        dropArg(argc, argv, i);
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s LABEL=HOSTS_FILE... [options]\n", argv[0]);
        std::exit(2);
    }
    return inputs;
}

std::pair<int, int> takeGrowthPair(int& argc, char** argv, const std::vector<BenchInput>& inputs) {
    std::string value;
    if (!takeFlag(argc, argv, "growth", &value)) return {-1, -1};
    auto indexOf = [&](const std::string& label) {
        for (size_t i = 0; i < inputs.size(); ++i)
            if (inputs[i].label == label) return static_cast<int>(i);
        std::fprintf(stderr, "bench: --growth names no input labelled '%s'\n", label.c_str());
        std::exit(2);
    };
    const size_t colon = value.find(':');
    if (colon == std::string::npos) {
        std::fprintf(stderr, "bench: --growth wants SMALL:LARGE\n");
        std::exit(2);
    }
    return {indexOf(value.substr(0, colon)), indexOf(value.substr(colon + 1))};
}

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "hbl-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) fail("cannot make a scratch folder");
    root_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string ScratchFolder::path(std::string_view name) const {
    return root_ + "/" + std::string(name);
}

std::string readFileOrExit(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail("cannot open " + path);
    struct stat info {};
    if (::fstat(fd, &info) != 0) fail("cannot stat " + path);
    std::string bytes(static_cast<size_t>(info.st_size), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("cannot read " + path);
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    return bytes;
}

void writeFileSynced(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) fail("cannot create " + path);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("cannot write " + path);
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) fail("cannot sync " + path);
}

int countLines(std::string_view bytes) {
    int lines = 0;
    for (size_t p = 0; (p = bytes.find("\r\n", p)) != std::string_view::npos; p += 2) ++lines;
    return lines;
}
