// refreshList, then removeSelected of every listed entry in turn, each from
// the file as read: the list is the reference's, and a removal takes out
// exactly the lines that are the entry's line, with one break beside each,
// and changes no other byte, cuts no other line and joins none.
//
// Input: one byte of flags (bit 0: the file is made of tokens), then the file.

#include <functional>
#include <string>

#include "fuzz/hosts_input.h"

using namespace fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string file = hostsBytes(data + 1, size - 1, data[0] & 1);
    const FileParts parts = partsOf(file);
    // What a failed check prints besides the file.
    std::function<void()> context = [] {};
    auto check = [&](bool ok, const char* what) {
        if (!ok) {
            reference::printBytes("file", file);
            context();
        }
        FUZZ_CHECK(ok, what);
    };

    Session read(file);
    check(read.blacklist.hostsText() == parts.text, "the text ends before the first NUL");
    check(sameEntries(read.listed, reference::entries(parts.text)), "refreshList lists the reference's entries");

    const reference::List lines = reference::linePieces(parts.text);
    const auto count = static_cast<int32_t>(read.listed.size());
    for (int32_t i = 0; i < count; ++i) {
        const BlockedEntry& entry = read.listed[i];
        // Each removal starts from the file as read and the state its
        // refreshList left (copied: listing again costs more than the rest).
        read.files.files = {{kHostsPath, file}};
        HostsBlacklist blacklist = read.blacklist;
        bool removed = false;
        const reference::List kept = reference::removeEntry(lines, i, entry.site, entry.address, count, removed);
        const std::string after = reference::joinLines(kept);

        const EditResult result = blacklist.removeSelected(i, entry.site, entry.address, count);
        context = [&] {
            std::fprintf(stderr, "removing entry %d of %d, result %d\n", i, count, static_cast<int>(result));
            reference::printBytes("site", entry.site);
            reference::printBytes("address", entry.address);
            reference::printBytes("expected", removed ? after + parts.tail : file);
            reference::printBytes("written", read.file());
        };
        if (removed) {
            check(result == EditResult::Saved, "a removal that takes lines out is Saved");
            check(read.file() == after + parts.tail, "the file holds every other byte as it was");
            check(blacklist.hostsText() == after, "the text is what was written");
            // The byte check above covers every entry; the line structure and
            // the list read back are checked for the first few.
            if (i < 8) {
                check(reference::linePieces(after) == kept, "no other line is cut or joined");
                check(sameEntries(blacklist.refreshList(), reference::entries(after)), "the list read back");
            }
        } else {
            // Nothing could be removed: nothing is written.
            check(result == EditResult::SaveFailed, "a removal that finds no line reports SaveFailed");
            check(read.file() == file, "the file is not touched");
            check(blacklist.hostsText() == parts.text, "the text is not touched");
        }
        check(read.clean(), "only the hosts file is left, nothing open or locked");
    }
    return 0;
}
