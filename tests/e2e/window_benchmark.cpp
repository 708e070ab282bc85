// The window's timings under Wine: the real program beside window_floor, the
// least an ANSI program must do to show the same lists, both driven from
// outside in the same way and timed in the same run. For each hosts file, and
// each of the two in turn (which goes first alternates from run to run):
//
// - launch: from CreateProcess until the main window is visible; both show
//   their window only once both lists are full;
// - add: the edit box holds a new site (set beforehand), a click on "加入" is
//   posted, and the clock runs until the success box is up;
// - remove: the middle entry is selected, a click on "解除" is posted, and the
//   clock runs until the success box is up.
//
// Every round trip is checked before its figure is kept: the box has the
// success caption and text, the lists grew or shrank by the entry, and, for
// the program, the hosts file holds exactly the edit. A run that fails a check
// ends the benchmark with an error, so no figure comes from a failed edit.
// An empty hosts file is timed at launch only: the fixed cost of starting.
//
// Prints a Markdown table of medians and their ratios, program / floor.
//
// Usage: window_benchmark --app=PATH --floor=PATH [--runs=N] [--quick] LABEL=HOSTS_FILE...
//   --quick  one run, no warm-up: only shows that everything works
//   A Unix path is read through drive Z:.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/driver.h"
#include "ui/ui_texts.h"

namespace {

constexpr char floorClassName[] = "HostsBlacklistFloor";
constexpr double timeoutMs = 300000;
// The table is UTF-8 whatever code page this file is compiled for.
constexpr char timesSign[] = "\xc3\x97";                 // multiplication sign
constexpr char atMost1_3[] = "\xe2\x89\xa4 1.3\xc3\x97";  // less-than or equal to, 1.3, times
constexpr char dash[] = "\xe2\x80\x94";                    // em dash

struct Subject {
    const char* name;
    std::string exe;
    const char* windowClass;
    bool writesHostsFile;
};

struct HostsCase {
    std::string label, file, bytes;
};

enum Operation { Launch, Add, Remove, operationCount };
const char* const operationNames[] = {"launch until shown with full lists", "add: click until the box is up",
                                      "remove: click until the box is up"};

double millisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Polls `done` every millisecond; the milliseconds since `start` when it
// held, or a negative number when the process ended or time ran out first.
double timeUntil(const LARGE_INTEGER& start, HANDLE process, const std::function<bool()>& done) {
    while (!done()) {
        if (WaitForSingleObject(process, 1) == WAIT_OBJECT_0 || millisecondsSince(start) > timeoutMs) return -1;
    }
    return millisecondsSince(start);
}

// Writes the hosts file and waits until it is on the disk, so that no
// write-back of it runs while a subject is being timed.
bool writeHostsFile(const std::string& bytes) {
    HANDLE file = CreateFileA(hostsPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && FlushFileBuffers(file);
    CloseHandle(file);
    return ok;
}

HWND visibleWindow(DWORD pid, const char* windowClass) {
    for (HWND hwnd : topLevelWindowsOf(pid))
        if (className(hwnd) == windowClass && IsWindowVisible(hwnd)) return hwnd;
    return nullptr;
}

LRESULT itemCount(HWND list) { return SendMessageW(list, LB_GETCOUNT, 0, 0); }

// One item of a list box of another process (see listItems in driver.h).
std::string itemText(HWND list, LRESULT index) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length < 0) return "<none>";
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, length)));
    return toAnsi(text);
}

// How many whole lines of `text` read `line` after a line break: what the
// program removes when an entry other than the first is selected.
size_t wholeLinesAfterABreak(const std::string& text, const std::string& line) {
    const std::string pattern = "\r\n" + line;
    size_t count = 0;
    for (size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, at + 1)) {
        const size_t end = at + pattern.size();
        if (end == text.size() || text.compare(end, 2, "\r\n") == 0) ++count;
    }
    return count;
}

class Failure {
public:
    explicit Failure(std::string what) : what_(std::move(what)) {}
    const std::string& what() const { return what_; }

private:
    std::string what_;
};

void check(bool condition, const std::string& what) {
    if (!condition) throw Failure(what);
}

// One start of a subject on the hosts file as it is, its two edits and its
// close. Returns the figures of the operations it timed.
class Session {
public:
    Session(const Subject& subject, int run) : subject_(subject), run_(run) {}

    std::vector<double> run(LRESULT& listed) {
        std::vector<double> times;
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        Process process(subject_.exe);
        check(process.started(), "did not start");
        process_ = &process;
        const DWORD pid = GetProcessId(process.handle());
        times.push_back(timeUntil(start, process.handle(), [&] {
            return (main_ = visibleWindow(pid, subject_.windowClass)) != nullptr;
        }));
        check(times.back() >= 0, "no window");
        sites_ = GetDlgItem(main_, control_id::siteList);
        addresses_ = GetDlgItem(main_, control_id::addressList);
        listed = itemCount(sites_);
        check(listed >= 0 && itemCount(addresses_) == listed, "the two lists differ in length");
        if (listed > 0) {
            times.push_back(add());
            times.push_back(remove());
        }
        PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
        check(process.exitCode(60000) == 0, "did not close with exit code 0");
        return times;
    }

private:
    // Posts a click on the button and times it until a message box is up.
    double clickUntilBox(int button) {
        HWND target = GetDlgItem(main_, button);
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        PostMessageA(target, BM_CLICK, 0, 0);
        const double ms = timeUntil(start, process_->handle(), [&] { return (box_ = process_->messageBox()) != nullptr; });
        check(ms >= 0, "no message box");
        const Box box = readBox(box_);
        check(box.caption == messageCaption && box.text == changeSavedText, "the box does not report success");
        return ms;
    }

    void dismissBox() {
        PostMessageA(box_, WM_COMMAND, IDOK, 0);
        check(waitUntil([&] { return !IsWindow(box_) && IsWindowEnabled(main_); }), "the box did not go");
    }

    double add() {
        const std::string site = "window-benchmark-" + std::to_string(run_) + ".example";
        SendMessageA(GetDlgItem(main_, control_id::editBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(site.c_str()));
        const LRESULT before = itemCount(sites_);
        const std::string fileBefore = subject_.writesHostsFile ? readFile(hostsPath) : "";
        const double ms = clickUntilBox(control_id::addButton);
        check(itemCount(sites_) == before + 1 && itemCount(addresses_) == before + 1, "add: the lists did not grow by one");
        check(itemText(sites_, before) == site && itemText(addresses_, before) == "127.0.0.1",
              "add: the new entry is not last");
        if (subject_.writesHostsFile)
            check(readFile(hostsPath) == fileBefore + "\r\n127.0.0.1 " + site, "add: the hosts file is not as expected");
        dismissBox();
        return ms;
    }

    double remove() {
        const LRESULT before = itemCount(sites_);
        const LRESULT index = before / 2;
        const std::string site = itemText(sites_, index), address = itemText(addresses_, index);
        const std::string next = itemText(sites_, index + 1);
        const std::string fileBefore = subject_.writesHostsFile ? readFile(hostsPath) : "";
        const std::string line = address + " " + site;
        // The program removes every whole line of the entry; the floor the item.
        const size_t lines = subject_.writesHostsFile ? wholeLinesAfterABreak(fileBefore, line) : 1;
        check(index > 0 && lines > 0, "remove: the middle entry has no line of its own");
        SendMessageA(sites_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
        const double ms = clickUntilBox(control_id::removeButton);
        const auto after = static_cast<LRESULT>(before - static_cast<LRESULT>(lines));
        check(itemCount(sites_) == after && itemCount(addresses_) == after, "remove: the lists did not shrink by the entry");
        check(lines > 1 || itemText(sites_, index) == next, "remove: the entry after it did not move up");
        if (subject_.writesHostsFile) {
            const std::string fileAfter = readFile(hostsPath);
            check(fileAfter.size() == fileBefore.size() - lines * (line.size() + 2) &&
                      wholeLinesAfterABreak(fileAfter, line) == 0,
                  "remove: the hosts file is not as expected");
        }
        dismissBox();
        return ms;
    }

    const Subject& subject_;
    int run_;
    Process* process_ = nullptr;
    HWND main_ = nullptr, sites_ = nullptr, addresses_ = nullptr, box_ = nullptr;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string withThousands(long long n) {
    const std::string digits = std::to_string(n);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

}  // namespace

int main(int argc, char** argv) {
    Subject program{"program", "", mainWindowClassName, true};
    Subject floor{"floor", "", floorClassName, false};
    int runs = 5;
    bool quick = false;
    std::vector<HostsCase> cases{{"empty", "", ""}};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--app=", 0) == 0) {
            program.exe = windowsPath(arg.substr(6));
        } else if (arg.rfind("--floor=", 0) == 0) {
            floor.exe = windowsPath(arg.substr(8));
        } else if (arg.rfind("--runs=", 0) == 0) {
            runs = std::max(1, std::atoi(arg.c_str() + 7));
        } else if (arg == "--quick") {
            quick = true;
        } else if (arg.find('=') != std::string::npos && arg[0] != '-') {
            const std::string path = windowsPath(arg.substr(arg.find('=') + 1));
            HostsCase c{arg.substr(0, arg.find('=')), path.substr(path.find_last_of('\\') + 1), readFile(path)};
            if (c.bytes == "<absent>") {
                std::fprintf(stderr, "window_benchmark: cannot read %s\n", path.c_str());
                return 2;
            }
            cases.push_back(c);
        } else {
            program.exe.clear();
            break;
        }
    }
    if (program.exe.empty() || floor.exe.empty()) {
        std::fprintf(stderr, "usage: window_benchmark --app=PATH --floor=PATH [--runs=N] [--quick] LABEL=HOSTS_FILE...\n");
        return 2;
    }
    if (quick) runs = 1;
    const int warmUps = quick ? 0 : 1;

    // times[case][operation][subject]
    std::vector<std::vector<std::map<std::string, std::vector<double>>>> times(
        cases.size(), std::vector<std::map<std::string, std::vector<double>>>(operationCount));
    std::vector<LRESULT> listed(cases.size(), -1);
    for (size_t c = 0; c < cases.size(); ++c) {
        for (int run = 0; run < warmUps + runs; ++run) {
            const Subject* order[] = {&program, &floor};
            if (run % 2) std::swap(order[0], order[1]);
            for (const Subject* subject : order) {
                LRESULT count = -1;
                std::vector<double> figures;
                try {
                    check(writeHostsFile(cases[c].bytes), "cannot write the hosts file");
                    figures = Session(*subject, run).run(count);
                    check(listed[c] < 0 || count == listed[c], "lists a different number of entries");
                } catch (const Failure& failure) {
                    std::fprintf(stderr, "window_benchmark: %s, %s, run %d: %s\n", cases[c].label.c_str(),
                                 subject->name, run + 1, failure.what().c_str());
                    return 1;
                }
                listed[c] = count;
                std::fprintf(stderr, "%s %s run %d:", cases[c].label.c_str(), subject->name, run + 1);
                for (double ms : figures) std::fprintf(stderr, " %.0f", ms);
                std::fprintf(stderr, "%s\n", run < warmUps ? " (warm-up)" : "");
                if (run < warmUps) continue;
                for (size_t op = 0; op < figures.size(); ++op) times[c][op][subject->name].push_back(figures[op]);
            }
        }
    }
    writeHostsFile("");

    std::printf("\n#### The window under Wine against its floor (median of %d run%s, program and floor alternating; ms)\n\n",
                runs, runs == 1 ? "" : "s");
    using WineVersion = const char*(CDECL*)();
    const auto wineVersion = reinterpret_cast<WineVersion>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    std::printf("Wine %s, Xvfb; each run starts a subject on the file, adds a site, removes the middle entry "
                "and closes it%s.\n\n",
                wineVersion ? wineVersion() : "(not Wine)", quick ? "" : "; one warm-up run each first");
    if (quick) std::printf("(--quick: one run each; these figures only show that the harness runs.)\n\n");
    for (size_t c = 1; c < cases.size(); ++c)
        std::printf("- %s: `%s`, %s bytes, %s entries listed\n", cases[c].label.c_str(), cases[c].file.c_str(),
                    withThousands(static_cast<long long>(cases[c].bytes.size())).c_str(),
                    withThousands(listed[c]).c_str());
    std::printf("\n| operation | size | program ms | floor ms | ratio | target |\n|---|---|---:|---:|---:|---:|\n");
    for (int op = 0; op < operationCount; ++op) {
        for (size_t c = 0; c < cases.size(); ++c) {
            auto& byOp = times[c][op];
            if (byOp["program"].empty()) continue;
            const double p = median(byOp["program"]), f = median(byOp["floor"]);
            const double ratio = p / f;
            const bool targeted = c > 0;  // the empty file's launch is the fixed cost of starting
            const bool missed = targeted && !quick && ratio > 1.3;
            std::printf("| %s | %s | %.0f | %.0f | %.2f%s | %s%s |\n", operationNames[op], cases[c].label.c_str(), p,
                        f, ratio, timesSign, targeted ? atMost1_3 : dash, missed ? " **missed**" : "");
        }
    }
    return 0;
}
