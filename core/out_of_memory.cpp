#include "core/out_of_memory.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

void abortWithCount(int64_t requestedBytes) {
    std::fprintf(stderr, "out of memory: %" PRId64 " bytes requested\n", requestedBytes);
    std::abort();
}

OutOfMemoryHandler currentHandler = abortWithCount;

void* allocateOrReport(size_t size) {
    if (size == 0) size = 1;
    if (void* p = std::malloc(size)) return p;
    reportOutOfMemory(size);
}

}  // namespace

void setOutOfMemoryHandler(OutOfMemoryHandler handler) {
    currentHandler = handler ? handler : abortWithCount;
}

void reportOutOfMemory(size_t requestedBytes) {
    currentHandler(static_cast<int64_t>(requestedBytes));
    std::abort();  // a handler that returns breaks its contract; never go on
}

// The replaceable global allocation functions. Aligned forms are not replaced:
// nothing here asks for over-aligned memory.
void* operator new(size_t size) { return allocateOrReport(size); }
void* operator new[](size_t size) { return allocateOrReport(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
