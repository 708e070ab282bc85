#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "core/hosts_file_store.h"
#include "core/text_ops.h"

// One listed line of the hosts file: its second field is the blocked site,
// its first the address the site is mapped to. Neither is validated.
struct BlockedEntry {
    Text site;
    Text address;

    friend bool operator==(const BlockedEntry& a, const BlockedEntry& b) {
        return a.site == b.site && a.address == b.address;
    }
};

enum class EditResult {
    Saved,       // the hosts file was written
    SaveFailed,  // the hosts file was not written
    EmptyInput,  // there was nothing to add or remove; nothing changed
};

// The program-wide state: the hosts file as last read, with the edits made
// since, and the two edits. Single-threaded; it never shows anything.
class HostsBlacklist {
public:
    using PathSource = std::function<Text()>;

    // `files` reads and writes the file (not owned; it outlives this object).
    // `hostsPathSource` names the hosts file and is asked at every refresh.
    explicit HostsBlacklist(FileSystem& files, PathSource hostsPathSource = hostsFilePath);

    // Reads the hosts file again and lists its entries in file order. An
    // absent, empty or unreadable file lists nothing. Drops unsaved edits.
    std::vector<BlockedEntry> refreshList();

    // Appends CR LF, "127.0.0.1 " and `siteText` to the text and saves it.
    // EmptyInput for the empty text.
    EditResult addSite(const Text& siteText);

    // Cuts the line of the entry at `selectedIndex` of `entryCount` listed
    // entries, whose texts are `siteText` and `addressText`, out of the text
    // with one line break beside it, and saves. EmptyInput when nothing is
    // selected.
    EditResult removeSelected(int32_t selectedIndex, const Text& siteText, const Text& addressText,
                              int32_t entryCount);

    const Text& hostsPath() const { return hostsPath_; }
    const Text& hostsText() const { return hostsText_; }
    const TextList& hostsLines() const { return hostsLines_; }
    const TextList& lineFields() const { return lineFields_; }

private:
    // Saves the text (and what followed a NUL byte) over the file, if the
    // file still holds `fileBytes`, what it held when last read or written.
    EditResult saveEditedText(const NextPart& fileBytes);
    // Saves the text while it holds an edit that failed to save before: the
    // file must still hold the text kept aside then.
    EditResult savePendingEdit();
    // After an edit made in place failed to save: keeps the file's text apart
    // from the edited text, for the check before the next save.
    void keepFileTextAside(Text fileText);

    FileSystem& files_;  // not owned
    PathSource hostsPathSource_;

    Text hostsPath_;
    Text hostsText_;
    TextList hostsLines_;
    TextList lineFields_;
    // The file exactly as this program last read or wrote it: a save replaces
    // the file only while it still holds this, so neither another program's
    // changes nor a file that could not be read are ever written over. Its
    // text part is hostsText_ itself, or before an edit is saved, hostsText_
    // without that edit; only an edit that failed to save keeps a copy.
    FilePresence filePresence_ = FilePresence::Unreadable;
    bool textIsFileText_ = true;
    Text fileText_;  // the file's text part while hostsText_ holds an edit that failed to save
    // Whatever followed the first NUL byte of the file: a save writes it back
    // after the text, unchanged.
    ByteBlock afterText_;
};
