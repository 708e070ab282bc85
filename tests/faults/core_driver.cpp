// Runs the core in a process of its own for the tests that need more than one
// process: two copies saving at once, a copy killed in the middle of a save,
// and another program changing the hosts file.
//
//   add-sites HOSTS PREFIX COUNT REPORT GO
//       Waits until the file GO exists, then adds the sites PREFIX0 ..
//       PREFIX<COUNT-1> one after another, each until it is Saved, reading
//       the file again after every SaveFailed. It pauses up to 2 ms between
//       adds, as a user would between clicks: a copy that saves again at once
//       takes the save lock again before the other copy's next try. REPORT gets one line
//       "saved SITE" per site, then "conflicts N" (the SaveFailed results).
//   save-loop HOSTS SITE
//       Reads the list, then forever: adds SITE when it is not the last
//       entry, removes it when it is (the last entry). Writes "r" to standard output once the
//       list has been read, and "s" after every Saved. Exits 3 on SaveFailed.
//   overwrite PATH HOW HEX
//       Another program: puts the bytes HEX (two hex digits a byte) into PATH
//       without the core. HOW: in-place (truncate and write), rename (write a
//       new file and rename it over PATH), append, delete.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "core/hosts_blacklist.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: hosts_core_driver add-sites|save-loop|overwrite ...\n");
    return 2;
}

int addSites(const Text& hosts, const std::string& prefix, int count, const std::string& report,
             const std::string& go) {
    while (!std::filesystem::exists(go)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    HostsBlacklist blacklist(systemFileSystem(), [&] { return hosts; });
    blacklist.refreshList();
    std::ofstream out(report, std::ios::binary);
    long conflicts = 0;
    std::minstd_rand random(static_cast<unsigned>(std::hash<std::string>{}(prefix)));
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
        const Text site = prefix + std::to_string(i);
        for (;;) {
            const EditResult result = blacklist.addSite(site);
            if (result == EditResult::Saved) break;
            if (result != EditResult::SaveFailed || ++conflicts > 100000) return 4;
            blacklist.refreshList();
        }
        out << "saved " << site << "\n";
    }
    out << "conflicts " << conflicts << "\n";
    out.close();
    return out ? 0 : 5;
}

int saveLoop(const Text& hosts, const Text& site) {
    HostsBlacklist blacklist(systemFileSystem(), [&] { return hosts; });
    std::vector<BlockedEntry> entries = blacklist.refreshList();
    std::fputs("r", stdout);
    std::fflush(stdout);
    // After a save the text is what the file holds, so the list is kept here
    // rather than read again: nearly all the time goes into saving.
    for (;;) {
        const auto count = static_cast<int32_t>(entries.size());
        const bool listed = count > 0 && entries.back().site == site;
        const EditResult result = listed
                                      ? blacklist.removeSelected(count - 1, site, entries.back().address, count)
                                      : blacklist.addSite(site);
        if (result != EditResult::Saved) return 3;
        std::fputs("s", stdout);
        std::fflush(stdout);
        if (listed) entries.pop_back();
        else entries.push_back(BlockedEntry{site, "127.0.0.1"});
    }
}

int overwrite(const std::string& path, const std::string& how, const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    std::error_code error;
    if (how == "delete") return std::filesystem::remove(path, error) ? 0 : 6;
    const std::string target = how == "rename" ? path + ".new" : path;
    {
        std::ofstream out(target, std::ios::binary | (how == "append" ? std::ios::app : std::ios::trunc));
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) return 6;
    }
    if (how == "rename") std::filesystem::rename(target, path, error);
    return error ? 6 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string mode = argv[1];
    if (mode == "add-sites" && argc == 7) return addSites(argv[2], argv[3], std::atoi(argv[4]), argv[5], argv[6]);
    if (mode == "save-loop" && argc == 4) return saveLoop(argv[2], argv[3]);
    if (mode == "overwrite" && argc == 5) return overwrite(argv[2], argv[3], argv[4]);
    return usage();
}
