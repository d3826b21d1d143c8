// Workbook files: opening, refusing, selecting sheets, saving.

#include "excel/biffrecords.h"
#include "excel/compoundfile.h"
#include "excel/workbookerror.h"
#include "excel/workbookfile.h"

#include "excel_test_support.h"
#include "support/childprocess.h"
#include "support/fedpipe.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>

namespace vantry {

namespace {

namespace fs = std::filesystem;
using Code = WorkbookError::Code;
using excel_test::codeOf;

const std::string kData = std::string(VANTRY_TEST_DATA) + "/excel/";

// The workbook error that `f` throws.
template <class F> WorkbookError errorOf(F&& f) {
    try {
        f();
    } catch (const WorkbookError& e) {
        return e;
    }
    ADD_FAILURE() << "no WorkbookError";
    return WorkbookError(Code::NoWorkbook, "");
}

WorkbookError openError(const std::string& path) {
    return errorOf([&] { WorkbookFile().open(path); });
}

void openSheet1(WorkbookFile& excel, const std::string& path) {
    excel.open(path);
    excel.selectSheet("Sheet1");
}

TEST(OpeningWorkbooks, RefusesFilesThatAreNotExcel97Workbooks) {
    TestDir dir;
    struct Case {
        std::string path;
        Code code;
        std::string says;
    };
    spit(dir.file("empty.xls"), "");
    spit(dir.file("page.xls"), "\xEF\xBB\xBF <html><body>KX101</body></html>");
    spit(dir.file("text.xls"), "KX101,1,2\n");
    const Case cases[] = {
        {dir.file("missing.xls"), Code::FileNotFound, "does not exist"},
        {dir.path().string(), Code::NotAWorkbook, "is a folder"},
        {dir.file("empty.xls"), Code::NotAWorkbook, "is empty"},
        {dir.file("page.xls"), Code::NotAWorkbook, "web page"},
        {dir.file("text.xls"), Code::NotAWorkbook, "is not an Excel 97-2003 workbook"},
        {kData + "xlsx_renamed.xls", Code::UnsupportedFormat, "Excel 2007 or later workbook"},
        {kData + "excel95.xls", Code::UnsupportedFormat, "Excel 5.0/95 format"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const WorkbookError e = openError(c.path);
        EXPECT_EQ(e.code(), c.code);
        EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
}

TEST(OpeningWorkbooks, RefusesDamagedFilesWithoutReadingPastTheirEnd) {
    TestDir dir;
    const std::string good = slurp(kData + "written_by_gnumeric.xls");
    // Cut short: the container no longer holds all of its blocks.
    spit(dir.file("cut.xls"), good.substr(0, good.size() / 2));
    // The container is whole but its workbook stream is cut short.
    CompoundFile file = readCompoundFile(kData + "written_by_gnumeric.xls");
    file.findStream("Workbook")->data.resize(5000);
    const auto scrambled = buildCompoundFile(file);
    spit(dir.file("scrambled.xls"), std::string(scrambled.begin(), scrambled.end()));
    // A compound document without a workbook in it.
    CompoundFile other{{}, {{"WordDocument", false, std::vector<std::uint8_t>(5000, 1), {}, {}}}};
    const auto word = buildCompoundFile(other);
    spit(dir.file("word.xls"), std::string(word.begin(), word.end()));
    // Only the start of the container's header.
    spit(dir.file("header.xls"), good.substr(0, 300));

    EXPECT_EQ(openError(dir.file("cut.xls")).code(), Code::Damaged);
    EXPECT_EQ(openError(dir.file("scrambled.xls")).code(), Code::Damaged);
    EXPECT_EQ(openError(dir.file("word.xls")).code(), Code::NotAWorkbook);
    EXPECT_EQ(openError(dir.file("header.xls")).code(), Code::Damaged);
    EXPECT_NE(std::string(openError(dir.file("cut.xls")).what()).find("damaged"),
              std::string::npos);
}

TEST(OpeningWorkbooks, PipesAndDevicesAreRefusedWithoutWaiting) {
    TestDir dir;
    // A reader that opened the pipe would get a whole workbook; one that read the device would
    // read until memory ran out, so the device comes last.
    const FedPipe pipe(dir.file("pipe.xls"), slurp(kData + "written_by_gnumeric.xls"));
    ASSERT_TRUE(pipe.ready());
    const WorkbookError e = openError(dir.file("pipe.xls"));
    ASSERT_EQ(e.code(), Code::AccessDenied);
    EXPECT_EQ(std::string(e.what()), "The file \"" + dir.file("pipe.xls") +
                                         "\" cannot be opened: it is a pipe, not a file.");
    fs::create_symlink("/dev/zero", dir.file("zero.xls"));
    EXPECT_EQ(std::string(openError(dir.file("zero.xls")).what()),
              "The file \"" + dir.file("zero.xls") +
                  "\" cannot be opened: it is a device, not a file.");
}

// Opens `path` in a child process that may take only 128 MB more memory: kOpened when A1 of
// Sheet1 reads as the tag, the code of a workbook error (kOtherMessage when its message is not
// `says`), kOutOfMemory, or -1 where no process can be held to a memory limit.
constexpr int kOpened = 50, kOtherMessage = 51, kOutOfMemory = 52;
int openWithLittleMemory(const std::string& path, const std::string& says = "") {
    return inChildWithMemoryLeft(std::size_t{128} << 20, [&] {
        try {
            WorkbookFile excel;
            openSheet1(excel, path);
            return excel.cell(0, 0).toText() == "KX101" ? kOpened : kOtherMessage;
        } catch (const WorkbookError& e) {
            return says.empty() || e.what() == says ? static_cast<int>(e.code()) : kOtherMessage;
        } catch (const std::bad_alloc&) {
            return kOutOfMemory;
        }
    });
}

TEST(OpeningWorkbooks, AHugeFileCostsNoMoreThanTheDocumentItHolds) {
    // Sparse files of 700 MB: a workbook followed by nothing its container addresses, and
    // zeros, which are no workbook at all.
    TestDir dir;
    constexpr std::uintmax_t kHuge = std::uintmax_t{700} << 20;
    fs::copy_file(kData + "written_by_gnumeric.xls", dir.file("padded.xls"));
    fs::resize_file(dir.file("padded.xls"), kHuge);
    spit(dir.file("zeros.xls"), "");
    fs::resize_file(dir.file("zeros.xls"), kHuge);
    const int padded = openWithLittleMemory(dir.file("padded.xls"));
    if (padded == -1)
        GTEST_SKIP() << "cannot hold a process to a memory limit here";
    EXPECT_EQ(padded, kOpened);
    EXPECT_EQ(openWithLittleMemory(dir.file("zeros.xls")), static_cast<int>(Code::NotAWorkbook));
}

TEST(OpeningWorkbooks, AContainerLargerThanTheFormatAllowsIsRefusedBeforeItIsRead) {
    // A header whose allocation table addresses 6.5 GB, in a sparse file of 3 GB.
    TestDir dir;
    std::string header = slurp(kData + "written_by_gnumeric.xls").substr(0, 512);
    const std::uint32_t fatSectors = 100000;
    for (int i = 0; i < 4; ++i)
        header[0x2C + i] = static_cast<char>(fatSectors >> (8 * i));
    spit(dir.file("vast.xls"), header);
    fs::resize_file(dir.file("vast.xls"), std::uintmax_t{3} << 30);
    const int outcome = openWithLittleMemory(
        dir.file("vast.xls"), "The file \"" + dir.file("vast.xls") +
                                  "\" is larger than an Excel 97-2003 workbook can be (2 GB).");
    if (outcome == -1)
        GTEST_SKIP() << "cannot hold a process to a memory limit here";
    EXPECT_EQ(outcome, static_cast<int>(Code::TooLarge));
}

TEST(OpeningWorkbooks, ReadsWorkbooksWrittenByGnumericAndLibreOffice) {
    for (const char* name : {"written_by_gnumeric.xls", "written_by_libreoffice.xls"}) {
        SCOPED_TRACE(name);
        WorkbookFile excel;
        excel.open(kData + name);
        EXPECT_EQ(excel.sheetNames(), (std::set<std::string>{"Data", "Empty", "Sheet1"}));
        excel.selectSheet("Sheet1");
        EXPECT_EQ(excel.cell(0, 0).toText(), "KX101");
        EXPECT_EQ(excel.cell(4, 8).toText(), "O");
        EXPECT_EQ(excel.cell(3, 13).toDouble(), 3600.0); // a formula's result
        excel.selectSheet("Data");
        EXPECT_EQ(excel.cell(0, 1).toDouble(), 4.5);
        EXPECT_EQ(excel.cell(12, 1).toDouble(), 36.0);
        EXPECT_EQ(excel.cell(1, 3), CellValue::error(CellValue::kErrorDiv0));
        // Strings from the far end of a shared string table spread over CONTINUE records.
        EXPECT_EQ(excel.cell(98, 0).toText(), "string number 0098 of the table \xD0\x96\xD0\xB8"
                                              "\xD1\x82\xD0\xBE");
        EXPECT_EQ(excel.cell(1600, 0).toText(), std::string(9000, 'x'));
        std::string zhe;
        for (int i = 0; i < 5000; ++i)
            zhe += "\xD0\x96";
        EXPECT_EQ(excel.cell(1601, 0).toText(), zhe);
    }
}

TEST(SelectingSheets, CutsNamesTo31CharactersAndCreatesAMissingSheetOnce) {
    TestDir dir;
    WorkbookFile excel;
    excel.create(dir.file("book.xls"));
    EXPECT_EQ(excel.sheetNames(), std::set<std::string>{"Sheet1"});
    const std::string longName(40, 'N');
    excel.selectSheet(longName);
    excel.setCell(0, 0, CellValue::number(1));
    excel.selectSheet(longName.substr(0, 31) + "tail");
    EXPECT_EQ(excel.cell(0, 0).toInt32(), 1);
    excel.selectSheet("SHEET1");
    EXPECT_TRUE(excel.cell(0, 0).isEmpty());
    EXPECT_EQ(excel.sheetNames(), (std::set<std::string>{"Sheet1", std::string(31, 'N')}));
    excel.save();

    WorkbookFile again;
    again.open(dir.file("book.xls"));
    EXPECT_EQ(again.sheetNames(), (std::set<std::string>{"Sheet1", std::string(31, 'N')}));
    EXPECT_THROW(again.selectSheet("bad/name"), WorkbookError);
}

TEST(SelectingSheets, CellOperationsNeedAWorkbookAndASheet) {
    TestDir dir;
    WorkbookFile excel;
    EXPECT_EQ(codeOf([&] { excel.cell(0, 0); }), Code::NoWorkbook);
    EXPECT_EQ(codeOf([&] { excel.save(); }), Code::NoWorkbook);
    excel.create(dir.file("a.xls"));
    EXPECT_EQ(codeOf([&] { excel.setCell(0, 0, CellValue::number(1)); }), Code::NoWorksheet);
    excel.selectSheet("Sheet1");
    EXPECT_EQ(codeOf([&] { excel.cell(65536, 0); }), Code::BadCell);
    EXPECT_EQ(codeOf([&] { excel.clearRange(0, 0, 0, 256); }), Code::BadCell);
    EXPECT_EQ(codeOf([&] { excel.setCell(0, 0, CellValue::text(std::string(32768, 'a'))); }),
              Code::TooLarge);
    excel.close();
    EXPECT_EQ(codeOf([&] { excel.cell(0, 0); }), Code::NoWorkbook);
    EXPECT_EQ(codeOf([&] { excel.close(); }), Code::NoWorkbook);
}

// Values of every kind are read back in biffworkbook_test.cpp; here text goes through the file.
TEST(SavingWorkbooks, TextReadsBackAndEmptiedCellsStayEmpty) {
    TestDir dir;
    const std::string wide = "\xE6\x97\xA5\xE6\x9C\xAC / \xF0\x9F\x9A\x97";
    {
        WorkbookFile excel;
        excel.create(dir.file("values.xls"));
        excel.selectSheet("Sheet1");
        excel.setCell(0, 0, CellValue::text(wide));
        excel.setCell(0, 1, CellValue::text(std::string(32767, 'w'))); // the longest a cell holds
        excel.setCell(0, 2, CellValue::text("cleared"));
        excel.clearRange(0, 2, 0, 2);
        excel.setCell(1, 0, CellValue::text("gone"));
        excel.setCell(1, 0, CellValue::text(""));
        excel.save();
        excel.close();
    }
    WorkbookFile excel;
    openSheet1(excel, dir.file("values.xls"));
    EXPECT_EQ(excel.cell(0, 0).toText(), wide);
    EXPECT_EQ(excel.cell(0, 1).toText(), std::string(32767, 'w'));
    EXPECT_TRUE(excel.cell(0, 2).isEmpty());
    EXPECT_TRUE(excel.cell(1, 0).isEmpty());
}

TEST(SavingWorkbooks, ReplacesTheFileOnlyWhenComplete) {
    TestDir dir;
    const std::string path = dir.file("book.xls");
    {
        WorkbookFile excel;
        excel.create(path);
        excel.selectSheet("Sheet1");
        excel.setCell(0, 0, CellValue::number(1));
        excel.save();
    }
    fs::permissions(fs::path(path),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::string before = slurp(path);

    // The folder disappears under an open workbook: saving fails and leaves nothing behind.
    TestDir other;
    const std::string moved = other.file("sub/book.xls");
    fs::create_directories(fs::path(moved).parent_path());
    fs::copy_file(path, moved);
    {
        WorkbookFile excel;
        openSheet1(excel, moved);
        excel.setCell(0, 0, CellValue::number(2));
        fs::remove_all(fs::path(moved).parent_path());
        const WorkbookError e = errorOf([&] { excel.save(); });
        EXPECT_EQ(e.code(), Code::WriteFailed);
        EXPECT_EQ(std::string(e.what()),
                  "The file \"" + moved + "\" cannot be saved: its folder does not exist.");
    }

    {
        WorkbookFile excel;
        openSheet1(excel, path);
        excel.setCell(0, 0, CellValue::number(3));
        EXPECT_EQ(slurp(path), before); // nothing is written before save
        excel.save();
    }
    EXPECT_NE(slurp(path), before);
    EXPECT_EQ(fs::status(fs::path(path)).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // No temporary file is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SavingWorkbooks, KeepsTheContainersOtherStreams) {
    TestDir dir;
    const std::string path = dir.file("lo.xls");
    fs::copy_file(kData + "written_by_libreoffice.xls", path);
    const CompoundFile before = readCompoundFile(path);
    {
        WorkbookFile excel;
        openSheet1(excel, path);
        excel.setCell(7, 7, CellValue::text("new"));
        excel.save();
    }
    CompoundFile after = readCompoundFile(path);
    EXPECT_EQ(after.classId, before.classId);
    ASSERT_EQ(after.entries.size(), before.entries.size());
    for (const CompoundEntry& e : before.entries) {
        SCOPED_TRACE(e.name);
        CompoundEntry* same = after.findStream(e.name);
        ASSERT_NE(same, nullptr);
        if (e.name != "Workbook") {
            EXPECT_EQ(same->data, e.data);
        }
    }
}

} // namespace

} // namespace vantry
