#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

namespace vantry {

// Comparing a drawn picture with the one it should be. A mismatch names a folder holding
// actual.png, expected.png and diff.png (the expected picture faded, every differing pixel in
// red), so that one can look at what went wrong: under $VANTRY_TEST_OUTPUT when that is set,
// else under the test's temporary folder, one folder per comparison of a test. The folder is
// kept; a passing comparison writes nothing.
namespace goldenimage {

inline std::string hex(QRgb c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(c & 0xFFFFFFu));
    return text;
}

inline int channelDifference(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// A folder of its own for each failed comparison of the running test.
inline std::filesystem::path failureFolder() {
    const char* output = std::getenv("VANTRY_TEST_OUTPUT");
    std::filesystem::path root =
        output && *output ? std::filesystem::path(output)
                          : std::filesystem::path(::testing::TempDir()) / "vantry-images";
    std::string test = "outside-a-test";
    if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info())
        test = std::string(info->test_suite_name()) + "." + info->name();
    std::replace(test.begin(), test.end(), '/', '_');
    static std::map<std::string, int> failures;
    const std::filesystem::path folder =
        root / test / std::to_string(++failures[(root / test).string()]);
    std::filesystem::create_directories(folder);
    return folder;
}

inline QImage diffImage(const QImage& actual, const QImage& expected, int tolerance) {
    const int width = std::max(actual.width(), expected.width());
    const int height = std::max(actual.height(), expected.height());
    QImage diff(width, height, QImage::Format_RGB32);
    diff.fill(Qt::white);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool inActual = actual.valid(x, y), inExpected = expected.valid(x, y);
            if (inActual && inExpected &&
                channelDifference(actual.pixel(x, y), expected.pixel(x, y)) <= tolerance) {
                // A quarter of the colour on white: the picture is there to find one's way.
                const QRgb c = expected.pixel(x, y);
                diff.setPixel(x, y,
                              qRgb(191 + qRed(c) / 4, 191 + qGreen(c) / 4, 191 + qBlue(c) / 4));
            } else {
                diff.setPixel(x, y, qRgb(255, 0, 0));
            }
        }
    return diff;
}

} // namespace goldenimage

// Whether `actual` has the size of `expected` and every pixel's red, green and blue within
// `tolerance` of it (0: exactly the same colours). Use as EXPECT_TRUE(sameImage(actual, expected)).
inline ::testing::AssertionResult sameImage(const QImage& actual, const QImage& expected,
                                            int tolerance = 0) {
    using namespace goldenimage;
    const QImage a = actual.convertToFormat(QImage::Format_RGB32);
    const QImage e = expected.convertToFormat(QImage::Format_RGB32);
    std::ostringstream why;
    if (a.size() != e.size()) {
        why << "the picture is " << a.width() << "x" << a.height() << " pixels, not " << e.width()
            << "x" << e.height();
    } else {
        long long differing = 0;
        int firstX = -1, firstY = -1;
        for (int y = 0; y < e.height(); ++y) {
            const auto* lineA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
            const auto* lineE = reinterpret_cast<const QRgb*>(e.constScanLine(y));
            for (int x = 0; x < e.width(); ++x)
                if (channelDifference(lineA[x], lineE[x]) > tolerance && differing++ == 0) {
                    firstX = x;
                    firstY = y;
                }
        }
        if (differing == 0)
            return ::testing::AssertionSuccess();
        why << differing << " of " << e.width() << "x" << e.height() << " pixels differ"
            << (tolerance > 0 ? " by more than " + std::to_string(tolerance) : std::string())
            << ", the first at (" << firstX << ", " << firstY
            << "): " << hex(a.pixel(firstX, firstY)) << " instead of "
            << hex(e.pixel(firstX, firstY));
    }
    const std::filesystem::path folder = failureFolder();
    a.save(QString::fromStdString((folder / "actual.png").string()));
    e.save(QString::fromStdString((folder / "expected.png").string()));
    diffImage(a, e, tolerance).save(QString::fromStdString((folder / "diff.png").string()));
    return ::testing::AssertionFailure() << why.str() << "; pictures in " << folder.string();
}

} // namespace vantry
