// The link table's paste parser on arbitrary bytes: whatever it reads must be lines of cells that
// the table's copy writes back as text that reads as the same lines, and no cell may hold more
// than the text gave.

#include "fuzzcheck.h"
#include "model/tsvtext.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace vantry;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<TsvLine> lines = parseTsv(text);

    std::size_t bytes = 0;
    std::string written;
    for (const TsvLine& line : lines) {
        FUZZ_CHECK(!line.empty());
        for (const std::string& cell : line)
            bytes += cell.size();
        written += tsvLine(line);
    }
    FUZZ_CHECK(bytes <= size);
    // Blank lines at the end are dropped, so the last line holds something.
    if (!lines.empty()) {
        bool blank = true;
        for (const std::string& cell : lines.back())
            blank = blank && cell.empty();
        FUZZ_CHECK(!blank);
    }
    FUZZ_CHECK(parseTsv(written) == lines);
    return 0;
}
