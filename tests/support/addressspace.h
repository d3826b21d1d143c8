#pragma once

namespace vantry {

// For tests that run code in a process held to a small address space, as on a small machine.

// The limit, in KiB as `ulimit -v` takes it.
inline constexpr long kSmallMachineKiB = 1500000;

// AddressSanitizer reserves terabytes of address space for its shadow memory, so under its builds
// nothing runs inside such a limit.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

} // namespace vantry
