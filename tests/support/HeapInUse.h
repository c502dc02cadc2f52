#pragma once
// Bytes of the heap in use as the allocator in charge counts them:
// AddressSanitizer's when the code runs under it, glibc's otherwise (its
// small blocks and the large ones it maps).

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define ZIR_HEAP_FROM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZIR_HEAP_FROM_ASAN 1
#endif
#endif

#ifdef ZIR_HEAP_FROM_ASAN
// The sanitizer runtime's own count (its allocator_interface.h, which gcc
// does not install).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace zir::test {

inline std::size_t HeapInUse() {
#ifdef ZIR_HEAP_FROM_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

} // namespace zir::test
