// Times the core on large hosts files, each operation beside a floor measured
// in the same run: the least any program must do for the same result.
//
//   core_bench LABEL=HOSTS_FILE... [--heap=warm|fresh] [--growth=SMALL:LARGE]
//              [--repetitions=N] [--min-time=SECONDS] [--quick]
//              [--benchmark_...]
//
// Floors:
// - read:   open the file, read it whole into a new buffer and count its CR LF
//           (what refreshList can never beat);
// - save:   write the file's bytes to a new file beside it, fsync, close,
//           rename it over the file and fsync the folder: the durability
//           steps the core's save takes, without its lock, its check that the
//           file is unchanged, or any edit of the text;
// - search: look for the removal pattern in the text in memory (a removal
//           that finds nothing writes nothing, so its floor is the search).
//
// Every edit starts from the original file, written and synced before the
// clock starts, and after a refreshList, as in the program, where an edit
// always follows a read; the save floor gets the same untimed set-up. Results
// are medians over repetitions, printed at the end as Markdown tables.

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "core/hosts_blacklist.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double secondsOf(F&& f) {
    const auto start = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// ---- floors ----

int64_t readAndCountLineBreaks(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    ::lseek(fd, 0, SEEK_SET);
    std::unique_ptr<char[]> buffer(new char[size]);
    off_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer.get() + got, static_cast<size_t>(size - got));
        if (n <= 0) break;
        got += n;
    }
    ::close(fd);
    int64_t breaks = 0;
    const char* begin = buffer.get();
    const char* end = begin + got;
    for (const char* p = begin; (p = static_cast<const char*>(std::memchr(p, '\n', end - p)));
         ++p) {
        if (p > begin && p[-1] == '\r') ++breaks;
    }
    return breaks;
}

bool writeBesideAndRename(const std::string& path, const std::string& folder,
                          std::string_view bytes) {
    const std::string temp = path + ".floor.tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

// ---- the heap ----

// How the C library's allocator treats large blocks decides how much of a
// big-file operation is spent faulting in fresh pages. Left alone, glibc
// adapts its thresholds as blocks come and go, so the same benchmark runs
// with warm memory one time and fresh memory the next. Both policies are set
// for the whole run, floors included:
// - warm:  freed memory stays with the process and is used again, as in a
//          long-running program whose heap has grown to its working size;
// - fresh: every block of 64 KiB or more is mapped fresh from the system
//          and returned when freed, as the Windows heap does with blocks of
//          about 1 MB and more, and before each timed operation the process
//          gives back all the free memory it holds (malloc_trim), so nothing
//          large is served from memory already touched.
enum class HeapPolicy { Warm, Fresh };

HeapPolicy heapPolicy = HeapPolicy::Warm;  // for the whole run

// Called before the clock starts, in each iteration.
void prepareHeap() {
    if (heapPolicy == HeapPolicy::Fresh) ::malloc_trim(0);
}

bool setHeapPolicy(HeapPolicy policy) {
    if (policy == HeapPolicy::Warm)
        return ::mallopt(M_MMAP_MAX, 0) == 1 && ::mallopt(M_TRIM_THRESHOLD, INT_MAX) == 1;
    return ::mallopt(M_MMAP_THRESHOLD, 64 * 1024) == 1 && ::mallopt(M_TRIM_THRESHOLD, 64 * 1024) == 1;
}

const char* describe(HeapPolicy policy) {
    return policy == HeapPolicy::Warm
               ? "warm heap: freed memory is used again"
               : "fresh memory: every block of 64 KiB or more comes new from the system";
}

// ---- the cases ----

struct Case {
    BenchInput input;
    std::string folder;
    std::string hostsPath;
    std::vector<BlockedEntry> entries;  // as listed from the original file

    HostsBlacklist freshBlacklist() const {
        return HostsBlacklist(systemFileSystem(), [path = hostsPath] { return path; });
    }
    void restore() const { writeFileSynced(hostsPath, input.bytes); }
};

struct Options {
    int repetitions = 7;
    double minTime = 0.5;
    bool quick = false;
};

const char* const kRemovals[] = {"first", "middle", "last"};

int32_t removalIndex(const Case& c, std::string_view which) {
    const auto n = static_cast<int32_t>(c.entries.size());
    if (which == "first") return 0;
    if (which == "middle") return n / 2;
    return n - 1;
}

void timeRead(benchmark::State& state, const Case& c) {
    c.restore();
    for (auto _ : state) {
        int64_t breaks = 0;
        prepareHeap();
        state.SetIterationTime(secondsOf([&] { breaks = readAndCountLineBreaks(c.hostsPath); }));
        if (breaks <= 0) state.SkipWithError("the read floor found no line breaks");
        benchmark::DoNotOptimize(breaks);
    }
}

// The call alone; with `dropList`, freeing the list it returns as well (the
// caller does that once it has shown the list).
void timeRefresh(benchmark::State& state, const Case& c, bool dropList) {
    c.restore();
    HostsBlacklist blacklist = c.freshBlacklist();
    for (auto _ : state) {
        std::vector<BlockedEntry> entries;
        size_t listed = 0;
        prepareHeap();
        state.SetIterationTime(secondsOf([&] {
            entries = blacklist.refreshList();
            listed = entries.size();
            if (dropList) entries = {};
        }));
        if (listed != c.entries.size()) state.SkipWithError("refreshList listed a different count");
    }
}

void timeSaveFloor(benchmark::State& state, const Case& c) {
    for (auto _ : state) {
        c.restore();
        bool ok = false;
        prepareHeap();
        state.SetIterationTime(
            secondsOf([&] { ok = writeBesideAndRename(c.hostsPath, c.folder, c.input.bytes); }));
        if (!ok) state.SkipWithError("the save floor failed");
    }
}

// Times `edit` on a blacklist that has just read the original file.
template <typename Edit>
void timeEdit(benchmark::State& state, const Case& c, EditResult expected, Edit edit) {
    HostsBlacklist blacklist = c.freshBlacklist();
    for (auto _ : state) {
        c.restore();
        blacklist.refreshList();
        EditResult result{};
        prepareHeap();
        state.SetIterationTime(secondsOf([&] { result = edit(blacklist); }));
        if (result != expected) state.SkipWithError("the edit gave an unexpected result");
    }
}

// A removal whose pattern is nowhere in the text: the entry in the middle of
// the list, under a site the file does not hold.
const Text kUnlistedSite = "not-listed.example";
const Text kUnlistedAddress = "0.0.0.0";

void timeSearchFloor(benchmark::State& state, const Case& c) {
    const std::string text = c.input.bytes.substr(0, textLength(c.input.bytes));
    const std::string pattern = concatText({"\r\n", kUnlistedAddress, " ", kUnlistedSite});
    for (auto _ : state) {
        size_t found = 0;
        prepareHeap();
        state.SetIterationTime(secondsOf([&] { found = std::string_view(text).find(pattern); }));
        if (found != std::string::npos) state.SkipWithError("the pattern is in the file");
        benchmark::DoNotOptimize(found);
    }
}

// How long the first touch of fresh memory and a copy of memory already
// touched take here, in ms per MB (medians of a few rounds on 16 MiB). Pages
// the system has not yet handed to the process cost a fault each; on some
// virtual machines that dominates everything the core does with big files.
struct MemoryCosts {
    double firstTouch = 0;
    double warmCopy = 0;
};

MemoryCosts measureMemoryCosts() {
    constexpr size_t kSize = size_t{16} << 20;
    std::vector<double> touch, copy;
    std::vector<char> source(kSize, 1), target(kSize, 0);
    for (int round = 0; round < 7; ++round) {
        void* fresh = ::mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (fresh == MAP_FAILED) return {};
        touch.push_back(secondsOf([&] { std::memset(fresh, 1, kSize); }));
        ::munmap(fresh, kSize);
        copy.push_back(secondsOf([&] { std::memcpy(target.data(), source.data(), kSize); }));
        benchmark::DoNotOptimize(target.data());
    }
    auto perMegabyte = [&](std::vector<double>& seconds) {
        std::sort(seconds.begin(), seconds.end());
        return seconds[seconds.size() / 2] * 1e3 / (double(kSize) / 1e6);
    };
    return {perMegabyte(touch), perMegabyte(copy)};
}

// ---- the report ----

// Keeps every repetition's time per benchmark and shows one line per
// benchmark: its median, or its only run.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    MedianReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        std::vector<Run> shown;
        for (const Run& run : runs) {
            const std::string name = run.run_name.function_name;
            if (run.error_occurred) {
                failed_ = true;
                shown.push_back(run);
            } else if (run.run_type == Run::RT_Iteration) {
                times_[name].push_back(run.GetAdjustedRealTime());
                if (run.repetitions <= 1) shown.push_back(run);
            } else if (run.aggregate_name == "median") {
                shown.push_back(run);
            }
        }
        if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
    }

    // Median in milliseconds, or a negative value when the benchmark has no
    // result.
    double median(const std::string& name) const {
        const auto it = times_.find(name);
        if (it == times_.end() || it->second.empty()) return -1;
        std::vector<double> sorted = it->second;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    size_t repetitions(const std::string& name) const {
        const auto it = times_.find(name);
        return it == times_.end() ? 0 : it->second.size();
    }
    bool failed() const { return failed_; }

private:
    std::map<std::string, std::vector<double>> times_;
    bool failed_ = false;
};

struct Row {
    std::string operation;  // benchmark name before the label
    std::string floor;      // floor's benchmark name before the label
    double target;          // 0: shown for information, no target
};

const std::vector<Row>& rows() {
    static const std::vector<Row> table = {
        {"refreshList", "read floor", 5},
        {"refreshList, list freed", "read floor", 0},
        {"addSite", "save floor", 3},
        {"removeSelected first", "save floor", 3},
        {"removeSelected middle", "save floor", 3},
        {"removeSelected last", "save floor", 3},
        {"removeSelected not found", "search floor", 3},
    };
    return table;
}

std::string name(const std::string& what, const Case& c) { return what + "/" + c.input.label; }

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string withThousands(long long n) {
    const std::string digits = std::to_string(n);
    std::string text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

std::string milliseconds(double ms) { return ms < 0 ? "n/a" : fixed(ms, ms < 1 ? 3 : 2); }

void printTables(const MedianReporter& report, const std::vector<std::unique_ptr<Case>>& cases,
                 std::pair<int, int> growth, const MemoryCosts& memory, HeapPolicy heap) {
    std::printf("\n### Core against its floors, %s (median of %zu repetitions; ms)\n\n",
                describe(heap), report.repetitions(name(rows()[0].operation, *cases[0])));
    for (const auto& c : cases) {
        std::printf("- %s: `%s`, %s bytes, %s lines, %s entries\n", c->input.label.c_str(),
                    c->input.path.substr(c->input.path.find_last_of('/') + 1).c_str(),
                    withThousands(static_cast<long long>(c->input.bytes.size())).c_str(),
                    withThousands(countLines(c->input.bytes)).c_str(),
                    withThousands(static_cast<long long>(c->entries.size())).c_str());
    }
    std::printf("\n| operation | file | core | floor | floor is | ratio | target |\n");
    std::printf("|---|---|---:|---:|---|---:|---:|\n");
    for (const Row& row : rows()) {
        for (const auto& c : cases) {
            const double core = report.median(name(row.operation, *c));
            const double floor = report.median(name(row.floor, *c));
            const bool known = core >= 0 && floor > 0;
            const double ratio = known ? core / floor : -1;
            const std::string target = row.target > 0 ? "≤ " + fixed(row.target, 0) : "—";
            std::printf("| %s | %s | %s | %s | %s | %s | %s%s |\n", row.operation.c_str(),
                        c->input.label.c_str(), milliseconds(core).c_str(),
                        milliseconds(floor).c_str(), row.floor.c_str(),
                        known ? (fixed(ratio, 2) + "×").c_str() : "n/a", target.c_str(),
                        known && row.target > 0 && ratio > row.target ? " **missed**" : "");
        }
    }
    std::printf("\nMemory here: the first touch of fresh memory costs %.2f ms per MB "
                "(%.1f µs per 4 KiB page); copying memory already touched, %.3f ms per MB.\n",
                memory.firstTouch, memory.firstTouch * 4.096, memory.warmCopy);
    if (growth.first < 0) return;
    const Case& base = *cases[growth.first];
    const Case& big = *cases[growth.second];
    std::printf("\n### Growth from %s to %s, %s (%.1f× the bytes, %.1f× the entries)\n\n",
                base.input.label.c_str(), big.input.label.c_str(), describe(heap),
                double(big.input.bytes.size()) / double(base.input.bytes.size()),
                double(big.entries.size()) / double(base.entries.size()));
    std::printf("| operation | %s | %s | growth | target |\n", base.input.label.c_str(),
                big.input.label.c_str());
    std::printf("|---|---:|---:|---:|---:|\n");
    for (const Row& row : rows()) {
        const double small = report.median(name(row.operation, base));
        const double large = report.median(name(row.operation, big));
        const bool known = small > 0 && large >= 0;
        const double factor = known ? large / small : -1;
        std::printf("| %s | %s | %s | %s | ≤ 15× |\n", row.operation.c_str(),
                    milliseconds(small).c_str(), milliseconds(large).c_str(),
                    known ? (fixed(factor, 1) + "×" + (factor > 15 ? " **missed**" : "")).c_str()
                          : "n/a");
    }
}

// ---- registration ----

void configure(benchmark::internal::Benchmark* b, const Options& options) {
    b->UseManualTime()->Unit(benchmark::kMillisecond);
    if (options.quick) {
        b->Iterations(1)->Repetitions(1);
    } else {
        b->MinTime(options.minTime)->Repetitions(options.repetitions);
    }
}

void registerCase(const Case& c, const Options& options) {
    auto add = [&](const std::string& what, auto body) {
        configure(benchmark::RegisterBenchmark(name(what, c).c_str(),
                                               [&c, body](benchmark::State& s) { body(s, c); }),
                  options);
    };
    add("read floor", timeRead);
    add("refreshList", [](benchmark::State& s, const Case& k) { timeRefresh(s, k, false); });
    add("refreshList, list freed", [](benchmark::State& s, const Case& k) { timeRefresh(s, k, true); });
    add("save floor", timeSaveFloor);
    add("search floor", timeSearchFloor);
    add("addSite", [](benchmark::State& s, const Case& k) {
        timeEdit(s, k, EditResult::Saved,
                 [](HostsBlacklist& b) { return b.addSite("added-by-benchmark.example"); });
    });
    for (const char* which : kRemovals) {
        add(std::string("removeSelected ") + which, [which](benchmark::State& s, const Case& k) {
            const int32_t index = removalIndex(k, which);
            const BlockedEntry entry = k.entries[index];
            const auto count = static_cast<int32_t>(k.entries.size());
            timeEdit(s, k, EditResult::Saved, [&](HostsBlacklist& b) {
                return b.removeSelected(index, entry.site, entry.address, count);
            });
        });
    }
    add("removeSelected not found", [](benchmark::State& s, const Case& k) {
        const auto count = static_cast<int32_t>(k.entries.size());
        // Nothing to delete: nothing is written and the state stays as read,
        // so one read serves every iteration.
        k.restore();
        HostsBlacklist blacklist = k.freshBlacklist();
        blacklist.refreshList();
        for (auto _ : s) {
            EditResult result{};
            prepareHeap();
            s.SetIterationTime(secondsOf([&] {
                result = blacklist.removeSelected(count / 2, kUnlistedSite, kUnlistedAddress, count);
            }));
            if (result != EditResult::SaveFailed) s.SkipWithError("the removal found something");
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string value;
    if (takeFlag(argc, argv, "repetitions", &value)) options.repetitions = std::stoi(value);
    if (takeFlag(argc, argv, "min-time", &value)) options.minTime = std::stod(value);
    options.quick = takeFlag(argc, argv, "quick");
    if (takeFlag(argc, argv, "heap", &value)) {
        if (value != "warm" && value != "fresh") {
            std::fprintf(stderr, "core_bench: --heap is warm or fresh\n");
            return 2;
        }
        heapPolicy = value == "warm" ? HeapPolicy::Warm : HeapPolicy::Fresh;
    }
    if (!setHeapPolicy(heapPolicy)) {
        std::fprintf(stderr, "core_bench: the allocator refused the heap policy\n");
        return 1;
    }
    std::vector<BenchInput> inputs = takeInputs(argc, argv);
    const std::pair<int, int> growth = takeGrowthPair(argc, argv, inputs);

    ScratchFolder scratch;
    std::vector<std::unique_ptr<Case>> cases;
    for (BenchInput& input : inputs) {
        auto c = std::make_unique<Case>();
        c->folder = scratch.path(input.label);
        std::filesystem::create_directory(c->folder);
        c->hostsPath = c->folder + "/hosts";
        c->input = std::move(input);
        c->restore();
        c->entries = c->freshBlacklist().refreshList();
        if (c->entries.size() < 3) {
            std::fprintf(stderr, "core_bench: %s lists fewer than 3 entries\n", c->input.path.c_str());
            return 1;
        }
        registerCase(*c, options);
        cases.push_back(std::move(c));
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    // Progress to stderr, so that stdout holds the tables alone.
    MedianReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printTables(reporter, cases, growth, measureMemoryCosts(), heapPolicy);
    return reporter.failed() ? 1 : 0;
}
