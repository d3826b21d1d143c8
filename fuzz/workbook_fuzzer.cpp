// The workbook reader on arbitrary bytes: the compound file and BIFF8 record layers either
// refuse a file with a reason or yield cells, and the layout either loads a sound network or
// refuses the workbook with a message.

#include "excel/workbookerror.h"
#include "excel/workbookfile.h"
#include "excel/workbooklayout.h"
#include "fuzzcheck.h"
#include "networkcheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace vantry;

namespace {

// Answers No to the question and keeps the messages.
class QuietPrompts : public WorkbookPrompts {
public:
    bool askYesNo(const std::string&) override {
        asked = true;
        return false;
    }
    void showMessage(const std::string& message) override { last = message; }
    void showWarning(const std::string& message) override { warning = message; }
    bool asked = false;
    std::string warning;
    std::string last;
};

std::string scratchFile() {
    return "/tmp/vantry-workbook-fuzz-" + std::to_string(getpid()) + ".xls";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = scratchFile();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        WorkbookFile excel;
        excel.open(path);
        excel.selectSheet("Sheet1");
        for (int row = 0; row < 8; ++row)
            for (int column = 0; column < 12; ++column)
                (void)excel.cell(row, column).describe();
        excel.close();
    } catch (const WorkbookError& e) {
        FUZZ_CHECK(e.what()[0] != '\0');
    }
    Network net;
    QuietPrompts prompts;
    if (LoadFromWorkbook(net, path, prompts)) {
        checkNetwork(net);
        // A workbook read whole or in part never reaches beyond the layout's blocks.
        FUZZ_CHECK(net.links().size() <= 200);
        FUZZ_CHECK(prompts.last.empty());
    } else {
        // Every failure says why, a declined workbook included.
        FUZZ_CHECK(!prompts.last.empty());
    }
    std::remove(path.c_str());
    return 0;
}
