#include "core/text_ops.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Members = std::vector<std::string>;

Members toVector(const TextList& list) {
    Members members;
    for (int32_t i = 0; i < list.count(); ++i) members.emplace_back(list[i]);
    return members;
}

// Printable form of a byte string for failure messages.
std::string show(std::string_view bytes) {
    static const char* hex = "0123456789ABCDEF";
    std::string out = "[";
    for (unsigned char c : bytes) {
        if (c == '\r') out += "<CR>";
        else if (c == '\n') out += "<LF>";
        else if (c < 0x20 || c >= 0x7f) out += std::string("<") + hex[c >> 4] + hex[c & 15] + ">";
        else out += static_cast<char>(c);
    }
    return out + "]";
}

TEST(SplitText, AtLineBreaks) {
    struct { std::string in; Members expect; } cases[] = {
        {"", {}},
        {"x", {"x"}},
        {"x\r\n", {"x"}},                 // a break at the very end adds no member
        {"\r\nx", {"", "x"}},
        {"x\r\n\r\ny", {"x", "", "y"}},
        {"x\r\n\r\n", {"x", ""}},
        {"\r\n", {""}},
        {"\r", {"\r"}},
        {"x\ny\rz", {"x\ny\rz"}},         // lone LF and CR are ordinary bytes
        {"\xd6\xd0\r\ny", {"\xd6\xd0", "y"}},
        {"x\xb0\r\ny", {"x\xb0\r\ny"}},    // the lead byte takes the CR as its second byte
        {"\xb0\xb0\r\ny", {"\xb0\xb0", "y"}},
        {"x\r\ny\xb0", {"x", "y\xb0"}},    // a final lead byte stays in the last member
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(show(c.in));
        EXPECT_EQ(toVector(splitText(c.in, "\r\n")), c.expect);
    }
}

TEST(SplitText, AtSpacesAndDefaults) {
    struct { std::string in; std::string delimiter; Members expect; } cases[] = {
        {"  ", " ", {"", ""}},
        {"x  y", " ", {"x", "", "y"}},
        {"x ", " ", {"x"}},
        {" x", " ", {"", "x"}},
        {"x\ty", " ", {"x\ty"}},               // a tab does not split
        {"x y\xb0", " ", {"x", "y\xb0"}},
        {"\xb0 x", " ", {"\xb0 x"}},            // a lead byte swallows the space after it
        {"x,y", ",", {"x", "y"}},
        {"abc", "", {"abc"}},                  // an empty delimiter gives the whole text
        {"ab", "abc", {"ab"}},                 // shorter than the delimiter
        {"\xc1\xb0x\xb0", "\xb0", {"\xc1\xb0x"}},  // ... and only at character starts
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(show(c.in) + " at " + show(c.delimiter));
        EXPECT_EQ(toVector(splitText(c.in, c.delimiter)), c.expect);
    }
    EXPECT_EQ(toVector(splitText("x,y")), (Members{"x", "y"}));
    EXPECT_EQ(TextList().count(), 0);
}

TEST(SplitText, MemberBound) {
    struct { std::string in; int32_t bound; Members expect; } cases[] = {
        {"a,b,c", 2, {"a", "b"}},  // the bound stops the cut: the rest is dropped
        {"a,b", 2, {"a", "b"}},
        {"a", 1, {"a"}},
        {"a,", 1, {"a"}},
        {"a,b", 0, {}},
        {"a,b", -3, {}},           // below 0 counts as 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in + " bound " + std::to_string(c.bound));
        EXPECT_EQ(toVector(splitText(c.in, ",", c.bound)), c.expect);
    }
}

// Lists compare by their members, not by the text they were cut from.
TEST(SplitText, ListsWithTheSameMembersAreEqual) {
    EXPECT_EQ(splitText("a,b"), splitText("a,b,"));
    EXPECT_EQ(splitText("a,b,c", ",", 2), splitText("a,b"));
    EXPECT_EQ(splitText("a\r\nb", "\r\n"), splitText("a b", " "));
    EXPECT_EQ(splitText(""), TextList());
    EXPECT_FALSE(splitText("a,b") == splitText("a,c"));
    EXPECT_FALSE(splitText("a,b") == splitText("ab"));
    EXPECT_FALSE(splitText("a,,b") == splitText("a,b"));
}

TEST(LeftText, CountsBytes) {
    EXPECT_EQ(leftText("", 1), "");
    EXPECT_EQ(leftText("# x", 1), "#");
    EXPECT_EQ(leftText("\xd6\xd0x", 1), "\xd6");
    EXPECT_EQ(leftText("x", 5), "x");
    EXPECT_EQ(leftText("x", 0), "");
    EXPECT_EQ(leftText("x", -1), "");
}

TEST(CompareText, OrdersUnsignedBytes) {
    EXPECT_EQ(compareText("", ""), 0);
    EXPECT_EQ(compareText("#", "#"), 0);
    EXPECT_NE(compareText("\xa3\xa3", "#"), 0);
    EXPECT_LT(compareText("x", "x "), 0);
    EXPECT_GT(compareText("\x80", "\x7f"), 0);  // bytes compare as unsigned
    EXPECT_NE(compareText("", " "), 0);
}

TEST(ReplaceText, DeletesEveryOccurrence) {
    struct { std::string text, pattern, expect; } cases[] = {
        {"xyzxy", "xy", "z"},
        {"xxx", "xx", "x"},                       // occurrences do not overlap
        {"Xyxy", "xy", "Xy"},                     // case-sensitive
        {"a\r\nx", "\r\nx", "a"},
        {"pat", "pat", ""},
        {"", "x", ""},
        {"x", "", "x"},
        {"\xd6\xd0\xce\xc4", "\xd0\xce", "\xd6\xd0\xce\xc4"},  // no match inside a character
        {"\xb0\r\nx", "\r\nx", "\xb0\r\nx"},
        {"ab\x80", "\x80", "ab"},               // a final lead byte is a character start
        {"ab\x80", "b", "a\x80"},               // ... and is kept when it does not match
        {"\xb0\xb0\xb0", "\xb0\xb0", "\xb0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(show(c.text) + " without " + show(c.pattern));
        EXPECT_EQ(replaceText(c.text, c.pattern), c.expect);
    }
}

TEST(ReplaceText, AllParameters) {
    EXPECT_EQ(replaceText("Xy", "xy", "", 1, kUnlimited, false), "");
    EXPECT_EQ(replaceText("XY\xc1Xz", "xy", "-", 1, kUnlimited, false), "-\xc1Xz");
    // Case folding is ASCII only, also for the second byte of a character.
    EXPECT_EQ(replaceText("\xb0" "A", "\xb0" "a", "", 1, kUnlimited, false), "");
    EXPECT_EQ(replaceText("\xb0" "A", "A", "", 1, kUnlimited, false), "\xb0" "A");
    EXPECT_EQ(replaceText("aaaa", "a", "b", 1, 2), "bbaa");
    EXPECT_EQ(replaceText("aaaa", "a", "b", 1, 0), "aaaa");
    EXPECT_EQ(replaceText("aaaa", "a", "b", 1, -2), "aaaa");
    EXPECT_EQ(replaceText("abab", "ab", "x", 2), "abx");       // start is 1-based
    EXPECT_EQ(replaceText("abab", "ab", "x", 0), "xx");        // below 1 counts as 1
    EXPECT_EQ(replaceText("abab", "ab", "x", 5), "abab");      // beyond the end
    EXPECT_EQ(replaceText("aa", "a", "aa"), "aaaa");            // the replacement is not searched again
    // Characters are counted from the start position.
    EXPECT_EQ(replaceText("\xb0" "ab", "ab", "", 2), "\xb0");
}

TEST(ByteConversion, StopsAtTheFirstNul) {
    struct { std::string bytes, text; } cases[] = {
        {std::string("x\0y", 3), "x"},
        {std::string("\0x", 2), ""},
        {"", ""},
        {"x\xff", "x\xff"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(show(c.bytes));
        const ByteBlock block(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
        EXPECT_EQ(bytesToText(block), c.text);
        EXPECT_EQ(block.size(), static_cast<int32_t>(c.bytes.size()));
    }
    EXPECT_EQ(textToBytes("").size(), 0);
    const ByteBlock two = textToBytes("xy");
    EXPECT_EQ(std::string(two.view()), "xy");
    EXPECT_EQ(bytesToText(textToBytes("a\r\n\xb0")), "a\r\n\xb0");
}

TEST(ConcatText, JoinsInOrder) {
    EXPECT_EQ(concatText({"", ""}), "");
    EXPECT_EQ(concatText({"x", "", "y"}), "xy");
    EXPECT_EQ(concatText({"a", "b", "c", "d"}), "abcd");
}

// The skip of many bytes at a time must stop exactly where a byte-by-byte
// scan does, at every alignment and near the end of the text.
TEST(NextStop, AgreesWithAByteScan) {
    std::mt19937 random(12345);
    const unsigned char alphabet[] = {'a', ' ', '\r', '\n', '#', 0x7f, 0x80, 0xb0, 0xff, '0'};
    for (int round = 0; round < 2000; ++round) {
        std::string text(random() % 72, 'a');
        for (auto& c : text)
            c = static_cast<char>(random() % 4 ? 'a' : alphabet[random() % std::size(alphabet)]);
        const unsigned char target = alphabet[random() % std::size(alphabet)];
        for (size_t from = 0; from <= text.size(); ++from) {
            size_t expect = from;
            while (expect < text.size() && static_cast<unsigned char>(text[expect]) != target &&
                   static_cast<unsigned char>(text[expect]) < 0x80)
                ++expect;
            ASSERT_EQ(nextStop(text, from, target), expect) << show(text) << " from " << from;
        }
    }
}

// The finder hands out the same stops as nextStop, asked from every position
// of texts long enough for several of its blocks, in order and out of order.
TEST(StopFinder, AgreesWithNextStop) {
    std::mt19937 random(54321);
    const unsigned char alphabet[] = {'a', ' ', '\r', '\n', 0x7f, 0x80, 0xb0, 0xff};
    for (int round = 0; round < 300; ++round) {
        std::string text(random() % 300, 'a');
        for (auto& c : text)
            c = static_cast<char>(random() % 8 ? 'a' : alphabet[random() % std::size(alphabet)]);
        const unsigned char target = alphabet[random() % std::size(alphabet)];
        StopFinder inOrder(text, target);
        for (size_t from = 0; from <= text.size(); ++from)
            ASSERT_EQ(inOrder.next(from), nextStop(text, from, target)) << show(text) << " from " << from;
        StopFinder anyOrder(text, target);
        for (int i = 0; i < 50; ++i) {
            const size_t from = random() % (text.size() + 1);
            ASSERT_EQ(anyOrder.next(from), nextStop(text, from, target)) << show(text) << " from " << from;
        }
    }
}

}  // namespace
