// The window's texts are GBK bytes, and the title names the publisher's host.

#include "ui/ui_texts.h"

#include <string>

#include <gtest/gtest.h>

namespace {

// The build turns the UTF-8 sources into GBK: one text pinned byte for byte.
TEST(UiTexts, AreGbkBytes) {
    EXPECT_EQ(std::string(addButtonText), "\xbc\xd3\xc8\xeb");  // 加入
    EXPECT_EQ(std::string(messageCaption), "\xd0\xc5\xcf\xa2\xa3\xba");  // 信息：
}

TEST(UiTexts, TitleIsThePrefixAndThePublishersHostInParentheses) {
    // 网站黑名单(example.com)
    EXPECT_EQ(mainWindowTitle(), "\xcd\xf8\xd5\xbe\xba\xda\xc3\xfb\xb5\xa5(example.com)");
}

TEST(UiTexts, HostOfWebAddress) {
    struct { const char* address; const char* host; } cases[] = {
        {"https://example.com/", "example.com"},
        {"http://www.example.org/page/index.html", "www.example.org"},
        {"https://example.net", "example.net"},
        {"example.com", "example.com"},  // no scheme: nothing to cut
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(hostOfWebAddress(c.address), c.host);
    }
}

}  // namespace
