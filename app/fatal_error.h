#pragma once

#include <cstdint>
#include <string_view>

// The one fatal-error path: a box with "运行时出错!", the message and an OK
// button, titled "错误", with no owner; when the user has dismissed it the
// process ends at once with exit code -1. Nothing is released or written.
// Allocates no memory, so it also serves when memory has run out.
[[noreturn]] void reportFatalError(std::string_view message);

// The out-of-memory handler of the program: reports "分配 N 字节内存失败!"
// with the number of bytes that were asked for.
[[noreturn]] void reportAllocationFailure(int64_t requestedBytes);
