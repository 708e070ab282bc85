#include "app/fatal_error.h"

#include <windows.h>

#include "ui/ui_texts.h"

namespace {

// A text assembled in a fixed buffer: the fatal path must work when the heap
// has nothing left to give. Whatever does not fit is cut off.
class FixedText {
public:
    FixedText& operator<<(std::string_view part) {
        const size_t room = sizeof bytes_ - 1 - size_;
        const size_t count = part.size() < room ? part.size() : room;
        part.copy(bytes_ + size_, count);
        size_ += count;
        bytes_[size_] = '\0';
        return *this;
    }
    FixedText& operator<<(int64_t number) {
        char digits[24];
        char* end = digits + sizeof digits;
        char* p = end;
        // Work with the negated value so that INT64_MIN needs no special case.
        int64_t rest = number > 0 ? -number : number;
        do {
            *--p = static_cast<char>('0' - rest % 10);
            rest /= 10;
        } while (rest != 0);
        if (number < 0) *--p = '-';
        return *this << std::string_view(p, static_cast<size_t>(end - p));
    }
    const char* c_str() const { return bytes_; }

private:
    char bytes_[1024] = {};
    size_t size_ = 0;
};

}  // namespace

void reportFatalError(std::string_view message) {
    static FixedText text;  // static: no stack or heap needed when memory is short
    text << fatalHeading << "\r\n\r\n" << fatalMessageLabel << message << "\r\n";
    MessageBoxA(nullptr, text.c_str(), fatalCaption, MB_OK | MB_ICONERROR);
    ExitProcess(static_cast<UINT>(-1));
}

void reportAllocationFailure(int64_t requestedBytes) {
    static FixedText message;
    const std::string_view pattern = outOfMemoryTemplate;
    const size_t at = pattern.find("%d");
    message << pattern.substr(0, at) << requestedBytes << pattern.substr(at + 2);
    reportFatalError(message.c_str());
}
