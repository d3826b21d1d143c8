#pragma once

#include <cstddef>

namespace vantry {

// Memory for the many small objects of a large network (nodes, links): carved from blocks of
// 2 MB that the system may back with large pages, and kept for reuse when the objects go. A
// county's network then costs a few hundred page faults instead of thousands of them, and no
// allocator call per object. Builds with AddressSanitizer take every object from the ordinary
// allocator instead, so that it still sees each one.
void* poolAllocate(std::size_t size);
void poolFree(void* p, std::size_t size) noexcept;

} // namespace vantry
