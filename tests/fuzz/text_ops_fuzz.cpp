// splitText, replaceText, leftText and compareText with every parameter, held
// against the plain reference.

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <string>

#include "core/text_ops.h"
#include "fuzz/reference.h"

namespace {

// Texts drawn from few bytes meet each other often: delimiters and patterns
// then occur in the text, next to lead bytes, CRs and letters of either case.
constexpr char kAlphabet[] = {'a', 'A', 'b', 'B', ' ', '\r', '\n', '#', ',', 'z',
                              '.', '\x80', '\xb0', '\xd6', '\xff', '\x7f'};

std::string textFrom(FuzzedDataProvider& in, size_t maxLength, bool fewBytes) {
    std::string text = maxLength ? in.ConsumeRandomLengthString(maxLength) : in.ConsumeRemainingBytesAsString();
    for (char& c : text) {
        if (fewBytes) c = kAlphabet[static_cast<unsigned char>(c) % sizeof kAlphabet];
        if (c == '\0') c = '\x01';  // a Text holds no NUL byte
    }
    return text;
}

// A count or position: the edges (none, 0, below 0, the extremes) as often as
// small values.
int32_t countFrom(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0: return kUnlimited;
    case 1: return 0;
    case 2: return in.ConsumeIntegralInRange(-3, -1);
    case 3: return INT32_MIN;
    case 4: return in.ConsumeIntegral<int32_t>();
    default: return in.ConsumeIntegralInRange(1, 12);
    }
}

std::vector<std::string> members(const TextList& list) {
    std::vector<std::string> result;
    for (int32_t i = 0; i < list.count(); ++i) result.emplace_back(list[i]);
    return result;
}

int sign(int value) { return (value > 0) - (value < 0); }

int referenceCompare(const std::string& a, const std::string& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const bool fewBytes = in.ConsumeBool();
    const bool caseSensitive = in.ConsumeBool();
    const int32_t maxMembers = countFrom(in);
    const int32_t startPosition = countFrom(in);
    const int32_t maxReplacements = countFrom(in);
    const std::string delimiter = textFrom(in, 4, fewBytes);
    const std::string pattern = textFrom(in, 4, fewBytes);
    const std::string replacement = textFrom(in, 4, fewBytes);
    const std::string text = textFrom(in, 0, fewBytes);

    auto report = [&] {
        reference::printBytes("text", text);
        reference::printBytes("delimiter", delimiter);
        reference::printBytes("pattern", pattern);
        reference::printBytes("replacement", replacement);
        std::fprintf(stderr, "maxMembers %d startPosition %d maxReplacements %d caseSensitive %d\n", maxMembers,
                     startPosition, maxReplacements, caseSensitive);
    };
    auto check = [&](bool ok, const char* what) {
        if (!ok) report();
        FUZZ_CHECK(ok, what);
    };

    check(members(splitText(text, delimiter, maxMembers)) == reference::split(text, delimiter, maxMembers),
          "splitText with a bound");
    check(members(splitText(text, delimiter)) == reference::split(text, delimiter, INT64_MAX), "splitText");
    check(members(splitText(text)) == reference::split(text, ",", INT64_MAX), "splitText at commas");

    check(replaceText(text, pattern, replacement, startPosition, maxReplacements, caseSensitive) ==
              reference::replace(text, pattern, replacement, startPosition, maxReplacements, caseSensitive),
          "replaceText");
    check(replaceText(text, pattern) == reference::replace(text, pattern, "", 1, INT64_MAX, true),
          "replaceText, deleting every occurrence");

    const std::string left = leftText(text, maxMembers);
    check(left == (maxMembers <= 0 ? std::string() : text.substr(0, static_cast<size_t>(maxMembers))),
          "leftText");
    check(sign(compareText(text, pattern)) == referenceCompare(text, pattern), "compareText");
    check(concatText({delimiter, pattern, replacement}) == delimiter + pattern + replacement, "concatText");
    return 0;
}
