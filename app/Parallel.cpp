#include "app/Parallel.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

void* AllocateLarge(std::size_t size)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t hugePage = std::size_t(2) << 20;
    if (size >= hugePage) {
        const std::size_t rounded = (size + hugePage - 1) / hugePage * hugePage;
        void* memory = std::aligned_alloc(hugePage, rounded);
        if (memory) madvise(memory, rounded, MADV_HUGEPAGE);
        return memory;
    }
#endif
    return std::malloc(std::max<std::size_t>(size, 1));
}
