// addSite: the file afterwards is exactly the old text, CR LF, "127.0.0.1 ",
// the site, and whatever followed the first NUL byte. Then a removal with
// any selection (none, out of range, or an entry that is not listed), held
// against the reference.
//
// Input: flags (bit 0: the file is made of tokens, bit 1: the site is, bit 2:
// the removal names the address "1" instead of "127.0.0.1"), the site's
// length, the site, the selected index and the entry count (signed bytes),
// then the file.

#include <functional>
#include <string>

#include "fuzz/hosts_input.h"

using namespace fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const uint8_t flags = data[0];
    const size_t siteLength = std::min<size_t>(data[1] % 32, size - 4);
    std::string site;
    for (char c : hostsBytes(data + 2, siteLength, flags & 2))
        if (c != '\0') site += c;  // a Text holds no NUL byte
    const auto index = static_cast<int8_t>(data[2 + siteLength]);
    const auto count = static_cast<int8_t>(data[3 + siteLength]);
    const std::string file = hostsBytes(data + 4 + siteLength, size - 4 - siteLength, flags & 1);
    const FileParts parts = partsOf(file);

    std::function<void()> context = [] {};
    auto check = [&](bool ok, const char* what) {
        if (!ok) {
            reference::printBytes("file", file);
            reference::printBytes("site", site);
            context();
        }
        FUZZ_CHECK(ok, what);
    };

    Session session(file);
    const EditResult added = session.blacklist.addSite(site);
    std::string text = parts.text;
    if (site.empty()) {
        check(added == EditResult::EmptyInput, "the empty site is refused");
        check(session.file() == file, "a refused add writes nothing");
    } else {
        text = parts.text + "\r\n127.0.0.1 " + site;
        check(added == EditResult::Saved, "an add is Saved");
        check(session.file() == text + parts.tail, "old text, CR LF, 127.0.0.1, the site, the tail");
    }
    check(session.blacklist.hostsText() == text, "the text is what the file holds before its NUL");
    check(session.clean(), "only the hosts file is left, nothing open or locked");
    check(sameEntries(session.blacklist.refreshList(), reference::entries(text)), "the list read back");

    const std::string address = flags & 4 ? "1" : "127.0.0.1";
    const std::string before = session.file();
    const EditResult result = session.blacklist.removeSelected(index, site, address, count);
    bool removed = false;
    const std::string after = reference::joinLines(reference::removeEntry(reference::linePieces(text), index, site, address, count, removed));
    context = [&] {
        std::fprintf(stderr, "removing index %d of %d, result %d\n", index, count, static_cast<int>(result));
        reference::printBytes("address", address);
        reference::printBytes("written", session.file());
    };
    if (index < 0 || index >= count) {
        check(result == EditResult::EmptyInput, "no selection is EmptyInput");
        check(session.file() == before, "no selection writes nothing");
    } else if (removed) {
        check(result == EditResult::Saved, "a removal that takes lines out is Saved");
        check(session.file() == after + parts.tail, "the file holds every other byte as it was");
    } else {
        check(result == EditResult::SaveFailed, "a removal that finds no line reports SaveFailed");
        check(session.file() == before, "the file is not touched");
    }
    check(session.clean(), "only the hosts file is left, nothing open or locked");
    return 0;
}
