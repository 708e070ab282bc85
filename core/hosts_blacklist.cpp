#include "core/hosts_blacklist.h"

#include <limits>
#include <cstring>
#include <utility>

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kFieldBreak = " ";
constexpr std::string_view kNewEntryPrefix = "\r\n127.0.0.1 ";

// The first two fields of a line, and whether it has at least two: the same
// answer splitText(line, " ") gives, without building the list.
struct LeadingFields {
    std::string_view first, second;
    bool two = false;
};

// Where the field that begins at `from` ends: at the next space that begins a
// character, or at the end of the line.
size_t fieldEnd(std::string_view line, size_t from) {
    const size_t n = line.size();
    size_t p = from;
    while ((p = nextStop(line, p, ' ')) < n) {
        if (line[p] == ' ') return p;
        if (p + 1 >= n) break;  // a lead byte at the very end stands alone
        p += 2;
    }
    return n;
}

LeadingFields leadingFields(std::string_view line) {
    LeadingFields fields;
    const size_t firstEnd = fieldEnd(line, 0);
    fields.first = line.substr(0, firstEnd);
    // A space at the very end of the line starts no further field.
    if (firstEnd + 1 >= line.size()) return fields;
    fields.second = line.substr(firstEnd + 1, fieldEnd(line, firstEnd + 1) - (firstEnd + 1));
    fields.two = true;
    return fields;
}

// How the character stepping rule walks over `part` from its first byte: false
// when a line break begins at one of its characters. `endsInLeadByte` tells
// that its last byte begins a character, which would swallow the byte after.
bool walkLinePart(std::string_view part, bool& endsInLeadByte) {
    size_t q = 0;
    while (q < part.size()) {
        if (part.compare(q, kLineBreak.size(), kLineBreak) == 0) return false;
        q += static_cast<unsigned char>(part[q]) >= 0x80 ? 2 : 1;
    }
    endsInLeadByte = q > part.size();
    return true;
}

// What a removal took out of the text: `pattern` at each of `places`, offsets
// in the text as it is afterwards, in increasing order.
struct Removal {
    Text pattern;
    std::vector<int32_t> places;
};

// Deletes every whole occurrence of the line part's pattern from `text`, in
// place, scanning from left to right by the character stepping rule and going
// on behind each deletion. The pattern is the line part, with a line break
// before it (`leadingBreak`) or after it (`trailingBreak`) or neither. An
// occurrence is whole when its line part is a whole line: it begins at the
// start of the text or right after a line break and ends at the end of the
// text or right before one. Pieces of longer lines are left alone, so no other
// line is ever cut or joined.
Removal deleteWholeLines(Text& text, std::string_view linePart, bool leadingBreak,
                         bool trailingBreak) {
    Removal removal;
    bool endsInLeadByte = false;
    if (!walkLinePart(linePart, endsInLeadByte)) return removal;
    removal.pattern = concatText({leadingBreak ? kLineBreak : "", linePart,
                                  trailingBreak ? kLineBreak : ""});
    const std::string_view pattern = removal.pattern;
    // The scan reads ahead of where the kept bytes are moved to, so the bytes
    // it looks at are always still those of the text as it was.
    const std::string_view scanned = text;
    char* const bytes = text.data();
    const size_t n = scanned.size();
    const size_t m = pattern.size();
    const auto first = static_cast<unsigned char>(pattern[0]);

    auto isWhole = [&](size_t at, bool atLineStart) {
        if (!leadingBreak && !atLineStart) return false;
        const size_t end = at + (leadingBreak ? kLineBreak.size() : 0) + linePart.size();
        if (end == n) return true;
        if (endsInLeadByte) return false;  // its last byte takes the next one along
        return trailingBreak || scanned.compare(end, kLineBreak.size(), kLineBreak) == 0;
    };

    size_t kept = 0;    // bytes kept so far, at the start of the buffer
    size_t copied = 0;  // scanned[copied, p) is kept but not yet moved
    size_t p = 0;
    bool atLineStart = true;  // p is at the start of a line
    bool afterCR = false;     // the character before p is a lone CR byte
    auto deleteHere = [&] {
        std::memmove(bytes + kept, bytes + copied, p - copied);
        kept += p - copied;
        removal.places.push_back(static_cast<int32_t>(kept));
        p += m;
        copied = p;
        atLineStart = trailingBreak;
        afterCR = false;
    };
    // A pattern that begins with a line break can only match at a CR; any
    // other can only match at the start of a line, so the scan stops at each
    // LF and tries the line that follows it.
    StopFinder stops(scanned, leadingBreak ? first : '\n');
    while (n - p >= m) {
        if (!leadingBreak && atLineStart && scanned.compare(p, m, pattern) == 0 &&
            isWhole(p, true)) {
            deleteHere();
            continue;
        }
        const size_t stop = stops.next(p);
        if (stop > p) {
            // The bytes skipped are one-byte characters, none of them a stop.
            const size_t last = stop - 1;
            atLineStart = scanned[last] == '\n' && (last > p ? scanned[last - 1] == '\r' : afterCR);
            afterCR = scanned[last] == '\r';
            p = stop;
            if (n - p < m) break;
        }
        const auto c = static_cast<unsigned char>(scanned[p]);
        if (leadingBreak && c == first && scanned.compare(p, m, pattern) == 0 &&
            isWhole(p, atLineStart)) {
            deleteHere();
        } else if (c >= 0x80) {
            if (p + 1 >= n) break;
            p += 2;
            atLineStart = afterCR = false;
        } else {
            atLineStart = c == '\n' && afterCR;
            afterCR = c == '\r';
            p += 1;
        }
    }
    if (!removal.places.empty()) {
        std::memmove(bytes + kept, bytes + copied, n - copied);
        text.resize(kept + (n - copied));
    }
    return removal;
}

// `text` as it was before `removal`, followed by `after`, part by part: the
// pattern put back at each place.
NextPart beforeRemoval(std::string_view text, const Removal& removal, std::string_view after) {
    return [text, after, &removal, k = size_t{0}, from = size_t{0}](std::string_view& part) mutable {
        const size_t places = removal.places.size();
        if (k < 2 * places) {
            if (k % 2 == 0) {
                const auto at = static_cast<size_t>(removal.places[k / 2]);
                part = text.substr(from, at - from);
                from = at;
            } else {
                part = removal.pattern;
            }
        } else if (k == 2 * places) {
            part = text.substr(from);
        } else if (k == 2 * places + 1) {
            part = after;
        } else {
            return false;
        }
        ++k;
        return true;
    };
}

// All the parts, one after another, as one text.
Text joined(const NextPart& next) {
    Text result;
    std::string_view part;
    while (next(part)) result.append(part);
    return result;
}

// Room kept behind the text for added lines, so that an add appends where the
// text already is instead of copying it whole into new memory.
constexpr size_t kRoomForAdds = 4096;

}  // namespace

HostsBlacklist::HostsBlacklist(FileSystem& files, PathSource hostsPathSource)
    : files_(files), hostsPathSource_(std::move(hostsPathSource)) {}

std::vector<BlockedEntry> HostsBlacklist::refreshList() {
    hostsPath_ = hostsPathSource_();
    {
        const FileSnapshot snapshot = readSnapshot(files_, hostsPath_);
        // bytesToText, into the buffer the text had if it is large enough but
        // not much too large: memory the program has touched before is
        // cheaper than new memory.
        const std::string_view bytes = snapshot.bytes.view();
        const size_t length = static_cast<size_t>(textLength(bytes));
        if (hostsText_.capacity() > 2 * (length + kRoomForAdds)) Text().swap(hostsText_);
        hostsText_.clear();
        hostsText_.reserve(length + kRoomForAdds);
        hostsText_.append(bytes.substr(0, length));
        const std::string_view after = bytes.substr(length);
        afterText_ = ByteBlock(after.data(), static_cast<int32_t>(after.size()));
        filePresence_ = snapshot.presence;
    }  // the bytes as read go: the text stands for them now
    textIsFileText_ = true;
    fileText_ = Text();
    hostsLines_ = splitText(hostsText_, kLineBreak);

    std::vector<BlockedEntry> entries;
    entries.reserve(hostsLines_.count());
    std::string_view lastSplit;
    bool anySplit = false;
    for (int32_t i = 0; i < hostsLines_.count(); ++i) {
        const std::string_view line = hostsLines_[i];
        if (line.empty() || line[0] == '#') continue;
        lastSplit = line;
        anySplit = true;
        const LeadingFields fields = leadingFields(line);
        if (!fields.two) continue;
        BlockedEntry& entry = entries.emplace_back();
        entry.site.assign(fields.second);
        entry.address.assign(fields.first);
    }
    // Only the fields of the last line that was cut are kept.
    if (anySplit) lineFields_ = splitText(lastSplit, kFieldBreak);
    return entries;
}

EditResult HostsBlacklist::addSite(const Text& siteText) {
    if (compareText(siteText, "") == 0) return EditResult::EmptyInput;
    const size_t before = hostsText_.size();
    hostsText_.append(kNewEntryPrefix).append(siteText);
    if (!textIsFileText_) return savePendingEdit();
    // The file's text is what the text was before the lines just added.
    const std::string_view fileText = std::string_view(hostsText_).substr(0, before);
    const EditResult result = saveEditedText(partsOf({fileText, afterText_.view()}));
    if (result == EditResult::SaveFailed) keepFileTextAside(Text(fileText));
    return result;
}

EditResult HostsBlacklist::removeSelected(int32_t selectedIndex, const Text& siteText,
                                          const Text& addressText, int32_t entryCount) {
    // With nothing selected there is nothing to remove. The pattern the index
    // -1 would give (a line break and a space) names no entry, so nothing is
    // deleted or written, and the caller hears that it was given no input.
    if (selectedIndex < 0 || selectedIndex >= entryCount) return EditResult::EmptyInput;

    const Text linePart = concatText({addressText, kFieldBreak, siteText});
    // Only a line that reads back as exactly this entry is the entry's line:
    // an entry with an empty field, or one whose line holds more, has none.
    const TextList fields = splitText(linePart, kFieldBreak);
    const bool isEntryLine = linePart[0] != '#' && fields.count() == 2 &&
                             fields[0] == addressText && fields[1] == siteText;
    const bool leadingBreak = selectedIndex != 0;
    const bool trailingBreak = selectedIndex == 0 && entryCount != 1;
    Removal removal;
    if (isEntryLine) removal = deleteWholeLines(hostsText_, linePart, leadingBreak, trailingBreak);

    if (removal.places.empty()) {
        // Nothing to delete and no earlier edit waiting to be saved: writing
        // the file again would report a removal that did not happen.
        if (textIsFileText_ || hostsText_ == fileText_) return EditResult::SaveFailed;
        return savePendingEdit();
    }
    if (!textIsFileText_) return savePendingEdit();
    // The file's text is the text with the deleted lines put back.
    const EditResult result = saveEditedText(beforeRemoval(hostsText_, removal, afterText_.view()));
    if (result == EditResult::SaveFailed) keepFileTextAside(joined(beforeRemoval(hostsText_, removal, {})));
    return result;
}

void HostsBlacklist::keepFileTextAside(Text fileText) {
    fileText_ = std::move(fileText);
    textIsFileText_ = false;
}

EditResult HostsBlacklist::savePendingEdit() {
    return saveEditedText(partsOf({fileText_, afterText_.view()}));
}

EditResult HostsBlacklist::saveEditedText(const NextPart& fileBytes) {
    // What follows a NUL byte in the file was never part of the text; it is
    // written back behind the text as it was.
    const std::string_view after = afterText_.view();
    // Lengths are 32-bit counts: a file of 2 GiB or more could not be read
    // back. Such an edit is not saved.
    if (hostsText_.size() + after.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        return EditResult::SaveFailed;
    if (!writeWholeFileIfUnchanged(files_, hostsPath_, filePresence_, fileBytes, {hostsText_, after}))
        return EditResult::SaveFailed;
    filePresence_ = FilePresence::Read;
    textIsFileText_ = true;
    fileText_ = Text();
    return EditResult::Saved;
}
