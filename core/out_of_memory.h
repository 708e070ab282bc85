#pragma once

#include <cstddef>
#include <cstdint>

// Every allocation of the program goes through the global operator new, which
// this module replaces: when memory cannot be had, the handler set here is
// called with the number of bytes asked for. The handler must not return (the
// program shows its fatal error box and ends the process). Allocations made
// with std::nothrow still return nullptr and call no handler.
using OutOfMemoryHandler = void (*)(int64_t requestedBytes);

// Sets the handler; the default writes the byte count to stderr and aborts.
void setOutOfMemoryHandler(OutOfMemoryHandler handler);

// Calls the handler with `requestedBytes`; never returns.
[[noreturn]] void reportOutOfMemory(size_t requestedBytes);
