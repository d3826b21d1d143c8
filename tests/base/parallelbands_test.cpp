#include "base/parallelbands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace vantry {

namespace {

// Every row falls in exactly one band, bands in order and as even as whole rows allow, also
// when there are fewer rows than bands; the first band is worked on the calling thread.
TEST(ForEachBand, CoversEveryRowOnceInEvenBands) {
    for (const auto& [rows, bands] :
         {std::pair{1000, 2}, {1001, 8}, {7, 3}, {1, 1}, {3, 5}, {64, 1}}) {
        SCOPED_TRACE(std::to_string(rows) + " rows in " + std::to_string(bands));
        std::vector<std::pair<int, int>> spans(static_cast<std::size_t>(bands), {-1, -1});
        std::vector<int> covered(static_cast<std::size_t>(rows), 0);
        std::mutex lock;
        std::thread::id firstBandThread;
        forEachBand(rows, bands, [&](int band, int first, int last) {
            const std::lock_guard<std::mutex> hold(lock);
            spans[static_cast<std::size_t>(band)] = {first, last};
            for (int row = first; row < last; ++row)
                ++covered[static_cast<std::size_t>(row)];
            if (band == 0)
                firstBandThread = std::this_thread::get_id();
        });
        EXPECT_EQ(firstBandThread, std::this_thread::get_id());
        for (int row = 0; row < rows; ++row)
            EXPECT_EQ(covered[static_cast<std::size_t>(row)], 1) << "row " << row;
        for (int band = 0; band < bands; ++band) {
            const auto [first, last] = spans[static_cast<std::size_t>(band)];
            EXPECT_EQ(first, band == 0 ? 0 : spans[static_cast<std::size_t>(band - 1)].second);
            EXPECT_LE(last - first, rows / bands + 1);
            EXPECT_GE(last - first, rows / bands);
        }
    }
}

// A band that throws does so to the caller only once every other band has finished, so that
// nothing they still use is freed under them; the first band's failure in band order wins.
TEST(ForEachBand, AFailureReachesTheCallerAfterEveryBandHasFinished) {
    std::atomic<int> finished{0};
    try {
        forEachBand(400, 4, [&](int band, int, int) {
            if (band == 3)
                throw std::runtime_error("band 3");
            if (band == 1)
                throw std::length_error("band 1");
            std::this_thread::sleep_for(std::chrono::milliseconds(band == 2 ? 50 : 0));
            ++finished;
        });
        FAIL() << "no exception";
    } catch (const std::length_error& e) {
        EXPECT_STREQ(e.what(), "band 1");
    }
    EXPECT_EQ(finished.load(), 2) << "bands 0 and 2 ran to their end";
}

} // namespace

} // namespace vantry
