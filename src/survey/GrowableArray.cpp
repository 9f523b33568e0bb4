#include "survey/GrowableArray.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace orv::growable_block {

namespace {

#if defined(__linux__)
size_t PageRounded(size_t bytes)
{
    static const auto page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

bool Mapped(size_t bytes) { return bytes >= kMappedBytes; }

// Its pages made at once: a block this size is mostly for a survey read from a file, which
// fills it straight away, and one call costs less than a fault per page.
void* Map(size_t bytes)
{
    void* block = ::mmap(nullptr, PageRounded(bytes), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}
#endif

}  // namespace

void* Allocate(size_t bytes)
{
#if defined(__linux__)
    if (Mapped(bytes)) {
        return Map(bytes);
    }
#endif
    return std::malloc(bytes);
}

void* Grow(void* block, size_t oldBytes, size_t newBytes)
{
#if defined(__linux__)
    if (Mapped(oldBytes)) {
        // The kernel moves the pages' table entries: no byte is copied, no page touched.
        void* moved = ::mremap(block, PageRounded(oldBytes), PageRounded(newBytes), MREMAP_MAYMOVE);
        return moved == MAP_FAILED ? nullptr : moved;
    }
    if (Mapped(newBytes)) {
        void* mapped = Map(newBytes);
        if (mapped != nullptr) {
            std::memcpy(mapped, block, oldBytes);
            std::free(block);
        }
        return mapped;
    }
#else
    static_cast<void>(oldBytes);
#endif
    return std::realloc(block, newBytes);
}

void Free(void* block, size_t bytes)
{
#if defined(__linux__)
    if (Mapped(bytes)) {
        ::munmap(block, PageRounded(bytes));
        return;
    }
#else
    static_cast<void>(bytes);
#endif
    std::free(block);
}

}  // namespace orv::growable_block
