#pragma once

#include <functional>

namespace vantry {

// Splits rows 0 to `rows` into `bands` horizontal bands of (nearly) equal height and runs
// work(band, first, last) for each, rows first to last - 1: band 0 on the calling thread, every
// other band on a thread of its own, or on the calling thread when no thread can be had. Returns
// once every band has finished; the first band's exception, if any threw, is then rethrown, so
// that nothing a band still uses is freed under it.
void forEachBand(int rows, int bands,
                 const std::function<void(int band, int first, int last)>& work);

} // namespace vantry
