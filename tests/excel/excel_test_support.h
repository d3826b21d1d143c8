#pragma once

// Helpers shared by the workbook tests: scripted prompts, small networks, synthetic BIFF8
// streams and running the independent Python reader.

#include "excel/biffrecords.h"
#include "excel/workbookerror.h"
#include "excel/workbooklayout.h"
#include "model/model_test_support.h"
#include "model/network.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vantry {

namespace excel_test {

// The code of the workbook error that `f` throws.
template <class F> WorkbookError::Code codeOf(F&& f) {
    try {
        f();
    } catch (const WorkbookError& e) {
        return e.code();
    }
    ADD_FAILURE() << "no WorkbookError";
    return WorkbookError::Code::NoWorkbook;
}

// Answers the layout's questions from a queue and records everything it says.
struct ScriptedPrompts : WorkbookPrompts {
    std::deque<bool> answers;
    std::vector<std::string> questions;
    std::vector<std::string> messages;
    std::vector<std::string> warnings;

    bool askYesNo(const std::string& question) override {
        questions.push_back(question);
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void showMessage(const std::string& message) override { messages.push_back(message); }
    void showWarning(const std::string& message) override { warnings.push_back(message); }
};

// A network with `nodes` nodes on a line and `links` links joining them in turn.
inline void buildChain(Network& net, int nodes, int links) {
    for (int i = 0; i < nodes; ++i)
        model_test::addNodeAt(net, static_cast<float>(i) * 0.25f, static_cast<float>(i % 7) * 0.5f);
    for (int k = 0; k < links; ++k) {
        Link* l =
            model_test::addLinkBetween(net, net.nodes()[k % nodes], net.nodes()[(k + 1) % nodes]);
        l->setNumLanes(1 + k % 4);
        l->setCapacity(1500 + k);
        l->setFFSpeed(30 + k % 40);
        l->setJamDensity(150 + k % 60);
        l->setDescription("link " + std::to_string(k + 1));
    }
}

// Where the records of `type` start in a stream, for tests that change a record in place.
inline std::vector<std::size_t> recordOffsets(const std::vector<std::uint8_t>& stream,
                                              std::uint16_t type) {
    std::vector<std::size_t> out;
    for (std::size_t pos = 0; pos + 4 <= stream.size();
         pos += 4 + biff::getU16(stream.data() + pos + 2))
        if (biff::getU16(stream.data() + pos) == type)
            out.push_back(pos);
    return out;
}

// Record bodies.
inline std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

inline biff::Record cell(std::uint16_t type, int row, int column, int xf,
                         const std::vector<std::uint8_t>& rest = {}) {
    biff::Record r{type, {}};
    biff::putU16(r.data, static_cast<std::uint16_t>(row));
    biff::putU16(r.data, static_cast<std::uint16_t>(column));
    biff::putU16(r.data, static_cast<std::uint16_t>(xf));
    r.data.insert(r.data.end(), rest.begin(), rest.end());
    return r;
}

// A FORMULA record with a cached number (or, when `special` is set, the special result of that
// kind with that value) and the given formula tokens.
inline biff::Record formula(int row, int column, double number,
                            const std::vector<std::uint8_t>& tokens,
                            std::optional<std::pair<int, int>> special = std::nullopt) {
    std::vector<std::uint8_t> rest;
    if (special) {
        rest = bytes({special->first, 0, special->second, 0, 0, 0, 0xFF, 0xFF});
    } else {
        biff::putF64(rest, number);
    }
    biff::putU16(rest, 0);
    biff::putU32(rest, 0);
    biff::putU16(rest, static_cast<std::uint16_t>(tokens.size()));
    rest.insert(rest.end(), tokens.begin(), tokens.end());
    return cell(biff::kFormula, row, column, 15, rest);
}

// The tokens of a formula that refers to the shared or array formula anchored at (row, column).
inline std::vector<std::uint8_t> anchorTokens(int row, int column) {
    return bytes({0x01, row & 0xFF, row >> 8, column & 0xFF, column >> 8});
}

// A BIFF8 workbook stream built from the records of each sheet (between the sheet's BOF and its
// WINDOW2), with twenty formats (15 to 19 are cell formats) and the SST records given.
struct SheetContent {
    std::u16string name;
    std::vector<biff::Record> records;
};

inline std::vector<std::uint8_t> buildStream(const std::vector<SheetContent>& sheets,
                                             const std::vector<biff::Record>& sst = {},
                                             const std::vector<biff::Record>& extraGlobals = {}) {
    using namespace biff;
    const auto bof = [](std::uint16_t kind) {
        Record r{kBof, {}};
        putU16(r.data, kBiff8Version);
        putU16(r.data, kind);
        putU16(r.data, 0x0DBB);
        putU16(r.data, 0x07CC);
        putU32(r.data, 0);
        putU32(r.data, 6);
        return r;
    };
    std::vector<Record> globals{bof(kGlobalsSubstream)};
    globals.insert(globals.end(), extraGlobals.begin(), extraGlobals.end());
    for (int i = 0; i < 20; ++i) {
        Record xf{kXf, std::vector<std::uint8_t>(20, 0)};
        setU16(xf.data.data() + 4, i < 15 ? 0xFFF5 : 0x0001);
        globals.push_back(xf);
    }
    std::vector<std::size_t> sheetFields;
    for (const SheetContent& s : sheets) {
        Record b{kBoundSheet, {}};
        putU32(b.data, 0);
        putU16(b.data, 0);
        appendShortUnicodeString(b.data, s.name);
        globals.push_back(b);
    }
    globals.insert(globals.end(), sst.begin(), sst.end());
    globals.push_back({kEof, {}});

    std::vector<std::uint8_t> out;
    for (const Record& r : globals) {
        if (r.type == kBoundSheet)
            sheetFields.push_back(out.size() + 4);
        appendRecord(out, r);
    }
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        setU32(out.data() + sheetFields[k], static_cast<std::uint32_t>(out.size()));
        appendRecord(out, bof(kWorksheetSubstream));
        for (const Record& r : sheets[k].records)
            appendRecord(out, r);
        Record window{kWindow2, std::vector<std::uint8_t>(18, 0)};
        appendRecord(out, window);
        appendRecord(out, Record{kEof, {}});
    }
    return out;
}

// The records of an SST holding plain strings, unsplit.
inline std::vector<biff::Record> plainSst(const std::vector<std::u16string>& strings) {
    biff::Record r{biff::kSst, {}};
    biff::putU32(r.data, static_cast<std::uint32_t>(strings.size()));
    biff::putU32(r.data, static_cast<std::uint32_t>(strings.size()));
    for (const auto& s : strings)
        biff::appendUnicodeString(r.data, s);
    return {r};
}

// Runs the independent reader and writer (xlrd and xlwt) of tests/excel/xlstool.py. The
// interpreter is the first of the system's and the one on the path that has both modules.
class XlsTool {
public:
    static const XlsTool& instance() {
        static const XlsTool tool;
        return tool;
    }
    bool available() const { return !python_.empty(); }

    // The exit status, with the standard output in `output`.
    int run(const std::string& arguments, std::string* output = nullptr) const {
        const std::string command = python_ + " \"" + VANTRY_XLSTOOL + "\" " + arguments + " 2>&1";
        std::FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return -1;
        std::string text;
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
            text.append(buf, n);
        const int status = pclose(pipe);
        if (output)
            *output = text;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    XlsTool() {
        for (const char* candidate : {"/usr/bin/python3", "python3"}) {
            python_ = candidate;
            if (run("modules") == 0)
                return;
        }
        python_.clear();
    }

    std::string python_;
};

} // namespace excel_test

#define SKIP_WITHOUT_XLSTOOL()                                                                     \
    do {                                                                                           \
        if (!excel_test::XlsTool::instance().available())                                          \
            GTEST_SKIP() << "python3 with the xlrd and xlwt modules is not installed "             \
                            "(Debian packages python3-xlrd and python3-xlwt)";                     \
    } while (0)

} // namespace vantry
