#include "model/objectpool.h"

#include <sys/mman.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define VANTRY_PLAIN_ALLOCATION 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTRY_PLAIN_ALLOCATION 1
#endif
#endif

namespace vantry {

namespace {

constexpr std::size_t kBlockBytes = std::size_t{2} << 20;
constexpr std::size_t kGrain = 16;
// Objects up to this size come from the pools; larger ones (none today) from the allocator.
constexpr std::size_t kLargest = 256;

struct FreeSlot {
    FreeSlot* next;
};

// One pool per size, rounded up to 16 bytes.
struct Pool {
    FreeSlot* free = nullptr;
    char* next = nullptr;
    char* end = nullptr;
};

std::mutex& poolLock() {
    static std::mutex lock;
    return lock;
}

std::array<Pool, kLargest / kGrain>& pools() {
    static std::array<Pool, kLargest / kGrain> all;
    return all;
}

// A new block aligned to its own size, so that it can be one large page.
char* newBlock() {
    void* mapped =
        mmap(nullptr, 2 * kBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kBlockBytes - 1) & ~(kBlockBytes - 1);
    // The parts before and after the aligned block go back at once.
    if (aligned > start)
        munmap(mapped, aligned - start);
    const std::uintptr_t tail = aligned + kBlockBytes;
    if (start + 2 * kBlockBytes > tail)
        munmap(reinterpret_cast<void*>(tail), start + 2 * kBlockBytes - tail);
    madvise(reinterpret_cast<void*>(aligned), kBlockBytes, MADV_HUGEPAGE);
    return reinterpret_cast<char*>(aligned);
}

} // namespace

void* poolAllocate(std::size_t size) {
#ifdef VANTRY_PLAIN_ALLOCATION
    return ::operator new(size);
#else
    if (size == 0 || size > kLargest)
        return ::operator new(size);
    const std::size_t rounded = (size + kGrain - 1) / kGrain * kGrain;
    std::lock_guard<std::mutex> guard(poolLock());
    Pool& pool = pools()[rounded / kGrain - 1];
    if (pool.free) {
        FreeSlot* slot = pool.free;
        pool.free = slot->next;
        return slot;
    }
    if (pool.next == nullptr || pool.end - pool.next < static_cast<std::ptrdiff_t>(rounded)) {
        pool.next = newBlock();
        pool.end = pool.next + kBlockBytes;
    }
    void* p = pool.next;
    pool.next += rounded;
    return p;
#endif
}

void poolFree(void* p, std::size_t size) noexcept {
    if (!p)
        return;
#ifdef VANTRY_PLAIN_ALLOCATION
    (void)size;
    ::operator delete(p);
#else
    if (size == 0 || size > kLargest) {
        ::operator delete(p);
        return;
    }
    const std::size_t rounded = (size + kGrain - 1) / kGrain * kGrain;
    std::lock_guard<std::mutex> guard(poolLock());
    Pool& pool = pools()[rounded / kGrain - 1];
    auto* slot = static_cast<FreeSlot*>(p);
    slot->next = pool.free;
    pool.free = slot;
#endif
}

} // namespace vantry
