#include "platform/LargePages.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace movarel {

namespace {
constexpr size_t kHugePage = size_t{2} << 20;
}

void* AllocateLarge(size_t bytes) {
    if (bytes < kHugePage) {
        if (void* p = std::malloc(bytes == 0 ? 1 : bytes)) return p;
        throw std::bad_alloc();
    }
    // Whole huge pages, aligned to one, so the advice covers all of them.
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    if (rounded < bytes) throw std::bad_alloc();
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (p == nullptr) throw std::bad_alloc();
    // Only advice: where huge pages are off, the memory is still good.
    (void)madvise(p, rounded, MADV_HUGEPAGE);
    return p;
}

void FreeLarge(void* memory) noexcept { std::free(memory); }

void AdviseLargePages(void* memory, size_t bytes) noexcept {
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(memory) + kHugePage - 1) / kHugePage * kHugePage;
    const uintptr_t end = (reinterpret_cast<uintptr_t>(memory) + bytes) / kHugePage * kHugePage;
    if (memory != nullptr && end > begin) (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace movarel
