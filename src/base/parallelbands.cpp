#include "base/parallelbands.h"

#include <exception>
#include <thread>
#include <vector>

namespace vantry {

void forEachBand(int rows, int bands,
                 const std::function<void(int band, int first, int last)>& work) {
    if (bands < 1)
        return;
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(bands));
    auto guarded = [&](int band) {
        const int first = static_cast<int>(static_cast<long long>(rows) * band / bands);
        const int last = static_cast<int>(static_cast<long long>(rows) * (band + 1) / bands);
        try {
            work(band, first, last);
        } catch (...) {
            failures[static_cast<std::size_t>(band)] = std::current_exception();
        }
    };
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(bands - 1));
    for (int band = 1; band < bands; ++band) {
        try {
            workers.emplace_back(guarded, band);
        } catch (const std::exception&) {
            // No thread to be had: this thread works the band itself.
            guarded(band);
        }
    }
    guarded(0);
    for (std::thread& worker : workers)
        worker.join();
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

} // namespace vantry
