#pragma once
// Buffers of megabytes (the frame blocks, the decoding surface) asked for in
// huge pages where the kernel offers them on request. A 1920 x 1080 film
// touches some 40 MiB before its first frame; in 4 KiB pages that is ten
// thousand page faults, which costs a visible part of the start-up on some
// machines, and in 2 MiB pages it is twenty.
#include <cstddef>
#include <new>

namespace movarel {

// Memory for bytes, not initialised; freed with FreeLarge. Throws
// std::bad_alloc when there is none.
void* AllocateLarge(size_t bytes);
void FreeLarge(void* memory) noexcept;
// The same request for memory that is already allocated but not yet touched
// (a vector's fresh reserve); the whole huge pages inside it are advised.
void AdviseLargePages(void* memory, size_t bytes) noexcept;

template <class T>
struct LargePageAllocator {
    using value_type = T;
    LargePageAllocator() = default;
    template <class U>
    LargePageAllocator(const LargePageAllocator<U>&) noexcept {}
    T* allocate(size_t n) {
        if (n > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(AllocateLarge(n * sizeof(T)));
    }
    void deallocate(T* p, size_t) noexcept { FreeLarge(p); }
    template <class U>
    bool operator==(const LargePageAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace movarel
