// Peak memory of the core per operation, as a multiple of the hosts file's
// size, measured two ways:
// - heap: every allocation of this program ends in malloc, through the
//   replaced operator new of the core; this program is linked with
//   --wrap=malloc/free/calloc/realloc, so it counts the bytes each block
//   really takes (malloc_usable_size) and keeps the peak of what is live.
//   Nothing in the core knows it is counted.
// - RSS: each operation runs again in a child process of its own, which
//   reads its resident-set high-water mark (VmHWM) before and after.
// "Peak" is everything the core holds at the worst moment of the operation:
// the state it keeps (the text, its lines, the file as last read) plus what
// the operation builds, the returned list included.
//
//   core_memory LABEL=HOSTS_FILE... [--growth=SMALL:LARGE]

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/hosts_blacklist.h"

// ---- the heap count ----

namespace {
int64_t liveBytes = 0;
int64_t peakBytes = 0;

void counted(void* p) {
    if (!p) return;
    liveBytes += static_cast<int64_t>(malloc_usable_size(p));
    if (liveBytes > peakBytes) peakBytes = liveBytes;
}
void uncounted(void* p) {
    if (p) liveBytes -= static_cast<int64_t>(malloc_usable_size(p));
}
}  // namespace

extern "C" {
void* __real_malloc(size_t size);
void __real_free(void* p);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* p, size_t size);

void* __wrap_malloc(size_t size) {
    void* p = __real_malloc(size);
    counted(p);
    return p;
}
void __wrap_free(void* p) {
    uncounted(p);
    __real_free(p);
}
void* __wrap_calloc(size_t count, size_t size) {
    void* p = __real_calloc(count, size);
    counted(p);
    return p;
}
void* __wrap_realloc(void* p, size_t size) {
    uncounted(p);
    void* q = __real_realloc(p, size);
    counted(q ? q : p);  // a failed realloc leaves the old block
    return q;
}
}

namespace {

// ---- resident set size ----

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM").
int64_t statusBytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
            return std::atoll(line.c_str() + n + 1) * 1024;
    }
    return -1;
}

// Lets the high-water mark start again from the current resident set.
bool resetHighWaterMark() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

// ---- the operations ----

struct Measure {
    const char* name;
    // Brings the blacklist to where the operation starts; not counted.
    std::function<void(HostsBlacklist&)> before;
    // The operation; what it returns is held until the peak is read.
    std::function<void(HostsBlacklist&)> operation;
};

struct Peak {
    int64_t heap = -1;
    int64_t rss = -1;
};

const Text kAddedSite = "added-by-benchmark.example";

std::vector<Measure> measures(const std::vector<BlockedEntry>& listed) {
    const auto count = static_cast<int32_t>(listed.size());
    const BlockedEntry middle = listed[count / 2];
    auto read = [](HostsBlacklist& b) { b.refreshList(); };
    auto nothing = [](HostsBlacklist&) {};
    return {
        {"refreshList, first", nothing, [](HostsBlacklist& b) { const auto entries = b.refreshList(); }},
        {"refreshList, again", read, [](HostsBlacklist& b) { const auto entries = b.refreshList(); }},
        {"addSite", read, [](HostsBlacklist& b) { b.addSite(kAddedSite); }},
        {"removeSelected middle", read,
         [=](HostsBlacklist& b) { b.removeSelected(count / 2, middle.site, middle.address, count); }},
        {"removeSelected not found", read,
         [=](HostsBlacklist& b) {
             b.removeSelected(count / 2, "not-listed.example", "0.0.0.0", count);
         }},
    };
}

// The list refreshList returns lives until the lambda's end, which is after
// the peak: the heap count keeps the maximum, the RSS mark keeps it as well.
Peak measureHeap(const Measure& m, const std::string& hostsPath, std::string_view original) {
    writeFileSynced(hostsPath, original);
    const int64_t base = liveBytes;
    Peak peak;
    {
        HostsBlacklist blacklist(systemFileSystem(), [hostsPath] { return hostsPath; });
        m.before(blacklist);
        peakBytes = liveBytes;
        m.operation(blacklist);
        peak.heap = peakBytes - base;
    }
    return peak;
}

// In a child process: the rise of the resident set from before the blacklist
// existed to the high-water mark of the operation.
int64_t measureRss(const Measure& m, const std::string& hostsPath, std::string_view original) {
    writeFileSynced(hostsPath, original);
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        int64_t rise = -1;
        // Free memory the parent kept would be used again without a rise.
        ::malloc_trim(0);
        const int64_t base = statusBytes("VmRSS");
        {
            HostsBlacklist blacklist(systemFileSystem(), [hostsPath] { return hostsPath; });
            m.before(blacklist);
            ::malloc_trim(0);  // what `before` freed goes back, so reuse cannot hide a rise
            if (resetHighWaterMark()) {
                m.operation(blacklist);
                rise = statusBytes("VmHWM") - base;
            }
        }
        const ssize_t ignored = ::write(pipeFds[1], &rise, sizeof rise);
        (void)ignored;
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    int64_t rise = -1;
    if (child < 0 || ::read(pipeFds[0], &rise, sizeof rise) != sizeof rise) rise = -1;
    ::close(pipeFds[0]);
    if (child > 0) ::waitpid(child, nullptr, 0);
    return rise;
}

std::string megabytes(int64_t bytes) {
    if (bytes < 0) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    return text;
}

std::string times(int64_t bytes, size_t fileSize) {
    if (bytes < 0) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f×", double(bytes) / double(fileSize));
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<BenchInput> inputs = takeInputs(argc, argv);
    const std::pair<int, int> growth = takeGrowthPair(argc, argv, inputs);
    if (argc > 1) {
        std::fprintf(stderr, "core_memory: unknown argument %s\n", argv[1]);
        return 2;
    }
    ScratchFolder scratch;
    constexpr double kTarget = 8;
    std::vector<std::vector<Peak>> all;
    std::printf("\n### Peak memory of the core (heap: counted allocations; RSS: rise of the "
                "resident set in a process of its own)\n\n");
    std::printf("| operation | file | heap | × file | RSS | × file | target |\n");
    std::printf("|---|---|---:|---:|---:|---:|---:|\n");
    for (const BenchInput& input : inputs) {
        const std::string hostsPath = scratch.path("hosts-" + input.label);
        writeFileSynced(hostsPath, input.bytes);
        const auto listed =
            HostsBlacklist(systemFileSystem(), [hostsPath] { return hostsPath; }).refreshList();
        if (listed.size() < 3) {
            std::fprintf(stderr, "core_memory: %s lists fewer than 3 entries\n", input.path.c_str());
            return 1;
        }
        std::vector<Peak> peaks;
        for (const Measure& m : measures(listed)) {
            Peak peak = measureHeap(m, hostsPath, input.bytes);
            peak.rss = measureRss(m, hostsPath, input.bytes);
            const bool over = double(std::max(peak.heap, peak.rss)) > kTarget * double(input.bytes.size());
            std::printf("| %s | %s | %s | %s | %s | %s | ≤ 8×%s |\n", m.name, input.label.c_str(),
                        megabytes(peak.heap).c_str(), times(peak.heap, input.bytes.size()).c_str(),
                        megabytes(peak.rss).c_str(), times(peak.rss, input.bytes.size()).c_str(),
                        over ? " **missed**" : "");
            std::fflush(stdout);
            peaks.push_back(peak);
        }
        all.push_back(peaks);
    }
    if (growth.first >= 0) {
        const int small = growth.first, large = growth.second;
        std::printf("\n| peak heap, growth from %s to %s (%.1f× the bytes) | growth | target |\n",
                    inputs[small].label.c_str(), inputs[large].label.c_str(),
                    double(inputs[large].bytes.size()) / double(inputs[small].bytes.size()));
        std::printf("|---|---:|---:|\n");
        const auto names = measures({{}, {}, {}});
        for (size_t m = 0; m < names.size(); ++m) {
            const double factor = double(all[large][m].heap) / double(all[small][m].heap);
            std::printf("| %s | %.1f×%s | ≤ 15× |\n", names[m].name, factor,
                        factor > 15 ? " **missed**" : "");
        }
    }
    return 0;
}
