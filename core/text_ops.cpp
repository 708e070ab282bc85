#include "core/text_ops.h"

#include <cstring>
#include <new>

bool operator==(const TextList& a, const TextList& b) {
    if (a.count() != b.count()) return false;
    for (int32_t i = 0; i < a.count(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

ByteBlock::ByteBlock(const char* data, int32_t size) {
    if (size <= 0) return;
    bytes_.reset(new char[size]);
    std::memcpy(bytes_.get(), data, size);
    size_ = size;
}

ByteBlock ByteBlock::tryAllocate(int32_t size) {
    ByteBlock block;
    if (size <= 0) return block;
    block.bytes_.reset(new (std::nothrow) char[size]);
    if (block.bytes_) block.size_ = size;
    return block;
}

ByteBlock::ByteBlock(const ByteBlock& other) : ByteBlock(other.data(), other.size()) {}

ByteBlock& ByteBlock::operator=(const ByteBlock& other) {
    if (this != &other) *this = ByteBlock(other);
    return *this;
}

ByteBlock::ByteBlock(ByteBlock&& other) noexcept
    : bytes_(std::move(other.bytes_)), size_(other.size_) {
    other.size_ = 0;
}

ByteBlock& ByteBlock::operator=(ByteBlock&& other) noexcept {
    bytes_ = std::move(other.bytes_);
    size_ = other.size_;
    other.size_ = 0;
    return *this;
}

void ByteBlock::shrinkTo(int32_t size) {
    if (size <= 0) {
        bytes_.reset();
        size_ = 0;
    } else if (size < size_) {
        size_ = size;
    }
}

Text concatText(std::initializer_list<std::string_view> parts) {
    size_t total = 0;
    for (auto part : parts) total += part.size();
    Text result;
    result.reserve(total);
    for (auto part : parts) result.append(part);
    return result;
}

int compareText(std::string_view a, std::string_view b) {
    // std::string_view compares through char_traits<char>, which orders bytes
    // as unsigned char.
    return a.compare(b);
}

Text leftText(std::string_view text, int32_t byteCount) {
    if (byteCount <= 0) return Text();
    return Text(text.substr(0, static_cast<size_t>(byteCount)));
}

TextList splitText(std::string_view text, std::string_view delimiter, int32_t maxMembers) {
    TextList result;
    if (maxMembers <= 0) return result;
    // Every member but the last is followed by the delimiter, so each begins
    // the delimiter's length after the one before it ends.
    result.gap_ = static_cast<int32_t>(delimiter.size());
    int32_t members = 0;
    size_t end = 0;
    forEachPiece(text, delimiter, [&](std::string_view piece) {
        end = static_cast<size_t>(piece.data() - text.data()) + piece.size();
        result.ends_.push_back(static_cast<int32_t>(end));
        return ++members < maxMembers;
    });
    result.bytes_.assign(text.substr(0, end));
    return result;
}

namespace {

bool matchesAt(std::string_view text, size_t p, std::string_view pattern, bool caseSensitive) {
    if (caseSensitive) return text.compare(p, pattern.size(), pattern) == 0;
    auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (fold(static_cast<unsigned char>(text[p + i])) !=
            fold(static_cast<unsigned char>(pattern[i])))
            return false;
    }
    return true;
}

unsigned char foldedTarget(unsigned char c, bool caseSensitive) {
    return !caseSensitive && c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

}  // namespace

Text replaceText(std::string_view text, std::string_view pattern, std::string_view replacement,
                 int32_t startPosition, int32_t maxReplacements, bool caseSensitive) {
    if (startPosition < 1) startPosition = 1;
    const size_t n = text.size();
    if (n == 0 || pattern.empty() || static_cast<size_t>(startPosition) > n || maxReplacements <= 0)
        return Text(text);

    const size_t m = pattern.size();
    const auto first = static_cast<unsigned char>(pattern[0]);
    // Without case, a letter can match either case, so the fast skip may only
    // jump over bytes that are not letters; stopping on every ASCII byte is the
    // simple way to keep it exact.
    const bool letter = !caseSensitive && ((first | 0x20) >= 'a' && (first | 0x20) <= 'z');
    const unsigned char target = foldedTarget(first, caseSensitive);

    Text result;
    result.reserve(n);
    size_t copied = 0;  // text[copied, p) is still to be copied
    size_t p = static_cast<size_t>(startPosition) - 1;
    int32_t replaced = 0;
    while (n - p >= m) {
        if (!letter) {
            p = nextStop(text, p, target);
            if (p >= n || n - p < m) break;
        }
        const auto c = static_cast<unsigned char>(text[p]);
        if (matchesAt(text, p, pattern, caseSensitive)) {
            result.append(text.substr(copied, p - copied));
            result.append(replacement);
            p += m;
            copied = p;
            if (++replaced >= maxReplacements) break;
        } else if (c >= 0x80) {
            // A lead byte at the very end has no second byte; it is kept below.
            if (p + 1 >= n) break;
            p += 2;
        } else {
            p += 1;
        }
    }
    result.append(text.substr(copied));
    return result;
}

ByteBlock textToBytes(std::string_view text) {
    return ByteBlock(text.data(), static_cast<int32_t>(text.size()));
}

int32_t textLength(std::string_view bytes) {
    if (bytes.empty()) return 0;
    const void* nul = std::memchr(bytes.data(), 0, bytes.size());
    return static_cast<int32_t>(nul ? static_cast<const char*>(nul) - bytes.data() : bytes.size());
}

Text bytesToText(const ByteBlock& block) {
    return Text(block.view().substr(0, textLength(block.view())));
}
