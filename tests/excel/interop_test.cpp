// Workbooks exchanged with an independent implementation: written by xlwt and read by Vantry,
// written by Vantry and read by xlrd, and saved into workbooks of other programs without losing
// what lies outside the layout.

#include "excel/biffworkbook.h"
#include "excel/compoundfile.h"
#include "excel/workbooklayout.h"
#include "model/network.h"

#include "excel_test_support.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <tuple>

namespace vantry {

namespace {

namespace fs = std::filesystem;
using excel_test::ScriptedPrompts;
using excel_test::XlsTool;
using model_test::addLinkBetween;
using model_test::addNodeAt;

const std::string kData = std::string(VANTRY_TEST_DATA) + "/excel/";

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// The records of every sheet but the layout's, by name, with the string numbers of text cells
// and the stream offsets of the INDEX record blanked out: saving may renumber the shared
// strings (xlrd checks that the texts are still right) and moves the sheets.
std::map<std::u16string, std::vector<biff::Record>> otherSheets(const std::string& path) {
    CompoundFile file = readCompoundFile(path);
    const biff::BiffWorkbook book = biff::BiffWorkbook::parse(file.findStream("Workbook")->data);
    std::map<std::u16string, std::vector<biff::Record>> sheets;
    for (std::size_t i = 0; i < book.sheetCount(); ++i) {
        if (book.sheetName(i) == u"Sheet1")
            continue;
        std::vector<biff::Record>& records = sheets[book.sheetName(i)] = book.sheetRecords(i);
        for (biff::Record& r : records) {
            if (r.type == biff::kLabelSst && r.data.size() >= 10)
                biff::setU32(r.data.data() + 6, 0);
            if (r.type == biff::kIndex)
                r.data.assign(r.data.size(), 0);
        }
    }
    return sheets;
}

// Whether xlrd finds every cell of `old` outside the layout in `saved`, with its value and format.
testing::AssertionResult sameOutsideTheLayout(const std::string& old, const std::string& saved) {
    std::string output;
    if (XlsTool::instance().run("compare " + quoted(old) + " " + quoted(saved) + " Sheet1",
                                &output) == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << output;
}

int countAll(const std::string& path, std::uint16_t type) {
    CompoundFile file = readCompoundFile(path);
    const biff::BiffWorkbook book = biff::BiffWorkbook::parse(file.findStream("Workbook")->data);
    int count = 0;
    for (std::size_t i = 0; i < book.sheetCount(); ++i)
        for (const biff::Record& r : book.sheetRecords(i))
            count += r.type == type ? 1 : 0;
    return count;
}

// Loads the workbook, adds a node and a link, and saves it again.
void loadChangeAndSave(const std::string& path) {
    ScriptedPrompts prompts;
    Network net;
    ASSERT_TRUE(LoadFromWorkbook(net, path, prompts)) << prompts.messages.at(0);
    Node* extra = addNodeAt(net, 7.0f, -7.0f);
    addLinkBetween(net, net.nodes()[0], extra)->setDescription("added by Vantry");
    ASSERT_TRUE(SaveToWorkbook(net, path, prompts)) << prompts.messages.at(0);
}

TEST(Interoperability, WorkbooksWrittenByXlwtLoad) {
    SKIP_WITHOUT_XLSTOOL();
    TestDir dir;
    const std::string path = dir.file("xlwt.xls");
    ASSERT_EQ(XlsTool::instance().run("write-travona " + quoted(path)), 0);

    ScriptedPrompts prompts;
    Network net;
    ASSERT_TRUE(LoadFromWorkbook(net, path, prompts)) << prompts.messages.at(0);
    ASSERT_EQ(net.nodes().size(), 4u);
    EXPECT_EQ(net.nodes()[1]->position(), (WorldPoint{1.0f, 0.0f}));
    EXPECT_EQ(net.nodes()[3]->position(), (WorldPoint{-3.25f, 4.75f}));
    ASSERT_EQ(net.links().size(), 4u);
    const Link* l1 = net.links()[0];
    EXPECT_EQ(l1->numLanes(), 2);
    EXPECT_EQ(l1->capacity(), 1800);
    EXPECT_TRUE(l1->hasAutomaticLength());
    EXPECT_EQ(l1->type(), LinkType::Mainline);
    EXPECT_EQ(l1->twoWaySide(), 1);
    EXPECT_EQ(net.links()[1]->direction(), LinkDirection::Outbound);
    EXPECT_TRUE(net.links()[1]->hasAutomaticLength());
    const Link* l3 = net.links()[2];
    EXPECT_EQ(l3->direction(), LinkDirection::Outbound);
    EXPECT_EQ(l3->effectiveLength(), 3.25f);
    EXPECT_EQ(l3->description(), "Br\xC3\xBC"
                                 "cke \xE2\x86\x92 north");
    const Link* l4 = net.links()[3];
    EXPECT_EQ(l4->type(), LinkType::Detour2);
    EXPECT_EQ(l4->twoWaySide(), 0);
    EXPECT_EQ(l4->effectiveLength(), 0.0f);
    EXPECT_EQ(l4->description(), "");
    EXPECT_EQ(net.bitmapPath(), "C:\\maps\\town.bmp");
    EXPECT_EQ(net.bitmapRect(), (WorldRect{3.0f, -1.25f, -2.5f, 4.5f}));
}

TEST(Interoperability, XlrdReadsExactlyTheCellsOfTheLayout) {
    SKIP_WITHOUT_XLSTOOL();
    TestDir dir;
    Network net;
    Node* a = addNodeAt(net, 0.0f, 0.0f);
    Node* b = addNodeAt(net, 0.5f, -1.25f);
    Link* ab = addLinkBetween(net, a, b);
    ab->setNumLanes(2);
    ab->setCapacity(1800);
    ab->setFFSpeed(55);
    ab->setJamDensity(190);
    ab->setType(LinkType::Mainline);
    ab->setDescription("Main \xE2\x86\x92 east");
    Link* ba = addLinkBetween(net, b, a);
    ba->setLength(2.0f);
    ba->setDirection(LinkDirection::Outbound);
    net.setBitmap("maps\\bg.bmp", WorldRect{3.0f, -1.0f, -2.0f, 0.1f});
    net.setPrecision(2);
    // A placed network's georeference is in the document summary, which xlrd must get past.
    ASSERT_TRUE(net.setGeoreference(Georeference{"EPSG:2263", 980000.5, 190000.25}));
    ScriptedPrompts prompts;
    ASSERT_TRUE(SaveToWorkbook(net, dir.file("out.xls"), prompts));

    std::string output;
    ASSERT_EQ(XlsTool::instance().run("cells " + quoted(dir.file("out.xls")) + " Sheet1", &output),
              0)
        << output;
    EXPECT_EQ(output, "A1\ttext\tKX101\n"
                      "C1\ttext\tmaps\\bg.bmp\n"
                      "D1\tnumber\t-2.0\n"
                      "E1\tnumber\t3.0\n"
                      "F1\tnumber\t0.1\n"
                      "G1\tnumber\t-1.0\n"
                      "B4\tnumber\t1.0\n"
                      "C4\tnumber\t2.0\n"
                      "D4\tnumber\t2.0\n"
                      "E4\tnumber\t1800.0\n"
                      "F4\tnumber\t1.35\n"
                      "G4\tnumber\t55.0\n"
                      "H4\tnumber\t190.0\n"
                      "I4\ttext\tI\n"
                      "J4\ttext\tM\n"
                      "K4\tnumber\t1.0\n"
                      "L4\ttext\tMain \xE2\x86\x92 east\n"
                      "B5\tnumber\t2.0\n"
                      "C5\tnumber\t1.0\n"
                      "D5\tnumber\t0.0\n"
                      "E5\tnumber\t0.0\n"
                      "F5\tnumber\t2.0\n"
                      "G5\tnumber\t0.0\n"
                      "H5\tnumber\t0.0\n"
                      "I5\ttext\tO\n"
                      "K5\tnumber\t2.0\n"
                      "B213\tnumber\t0.0\n"
                      "C213\tnumber\t0.0\n"
                      "B214\tnumber\t0.5\n"
                      "C214\tnumber\t-1.25\n");
    // Numbers with decimals show the network's two; whole numbers keep the sheet's format.
    ASSERT_EQ(
        XlsTool::instance().run("formats " + quoted(dir.file("out.xls")) + " Sheet1", &output), 0);
    EXPECT_EQ(output, "D1\t0.00\nE1\t0.00\nF1\t0.00\nG1\t0.00\n"
                      "B4\tGeneral\nC4\tGeneral\nD4\tGeneral\nE4\tGeneral\nF4\t0.00\n"
                      "G4\tGeneral\nH4\tGeneral\nK4\tGeneral\n"
                      "B5\tGeneral\nC5\tGeneral\nD5\tGeneral\nE5\tGeneral\nF5\t0.00\n"
                      "G5\tGeneral\nH5\tGeneral\nK5\tGeneral\n"
                      "B213\t0.00\nC213\t0.00\nB214\t0.00\nC214\t0.00\n");
    ASSERT_EQ(XlsTool::instance().run("sheets " + quoted(dir.file("out.xls")), &output), 0);
    EXPECT_EQ(output, "Sheet1\n");
}

// Workbooks of xlwt, Gnumeric and LibreOffice, each loaded, changed and saved twice, keep
// everything outside the layout: cells, other sheets record for record, formulas (shared ones
// too: LibreOffice writes them).
TEST(Interoperability, SavingIntoWorkbooksOfOtherProgramsKeepsEverythingElse) {
    SKIP_WITHOUT_XLSTOOL();
    TestDir dir;
    const std::string xlwtBook = dir.file("xlwt.xls");
    ASSERT_EQ(XlsTool::instance().run("write-travona " + quoted(xlwtBook)), 0);
    const std::tuple<std::string, std::size_t, const char*> cases[] = {
        {xlwtBook, 4, "C:\\maps\\town.bmp"},
        {kData + "written_by_gnumeric.xls", 3, "maps\\town.bmp"},
        {kData + "written_by_libreoffice.xls", 3, "maps\\town.bmp"},
    };
    for (const auto& [old, nodes, picture] : cases) {
        SCOPED_TRACE(old);
        const std::string path = dir.file("saved.xls");
        fs::remove(path);
        fs::copy_file(old, path);
        loadChangeAndSave(path);
        loadChangeAndSave(path);

        EXPECT_TRUE(sameOutsideTheLayout(old, path));
        EXPECT_EQ(otherSheets(path), otherSheets(old));
        EXPECT_EQ(countAll(path, biff::kShrFmla), countAll(old, biff::kShrFmla));
        EXPECT_EQ(countAll(path, biff::kFormula), countAll(old, biff::kFormula));
        ScriptedPrompts prompts;
        Network net;
        ASSERT_TRUE(LoadFromWorkbook(net, path, prompts));
        ASSERT_EQ(net.nodes().size(), nodes + 2);
        EXPECT_EQ(net.nodes()[nodes]->position(), (WorldPoint{7.0f, -7.0f}));
        EXPECT_EQ(net.links().size(), nodes + 2);
        EXPECT_EQ(net.links().back()->description(), "added by Vantry");
        EXPECT_EQ(net.bitmapPath(), picture);
    }
}

// Full workbooks as their users keep them, with notes, numbers and totals right below the link
// block, between the blocks and right below the node block.
TEST(Interoperability, FullWorkbooksWithNotesAroundTheBlocksOpenWhole) {
    SKIP_WITHOUT_XLSTOOL();
    TestDir dir;
    const std::string xlwtBook = dir.file("xlwt.xls");
    ASSERT_EQ(XlsTool::instance().run("write-full " + quoted(xlwtBook)), 0);
    for (const std::string& old : {xlwtBook, kData + "full_with_notes_libreoffice.xls"}) {
        SCOPED_TRACE(old);
        const std::string path = dir.file("saved.xls");
        fs::remove(path);
        fs::copy_file(old, path);
        ScriptedPrompts prompts;
        Network net;
        ASSERT_TRUE(LoadFromWorkbook(net, path, prompts));
        EXPECT_TRUE(prompts.messages.empty());
        EXPECT_TRUE(prompts.warnings.empty());
        ASSERT_EQ(net.links().size(), 200u);
        ASSERT_EQ(net.nodes().size(), 100u);
        EXPECT_EQ(net.links()[199]->description(), "link 200");
        EXPECT_EQ(net.links()[199]->toNode()->id(), 1);
        EXPECT_EQ(net.nodes()[99]->position(), (WorldPoint{24.75f, 0.5f}));

        net.setPrecision(3);
        ASSERT_TRUE(SaveToWorkbook(net, path, prompts)) << prompts.messages.at(0);
        EXPECT_TRUE(sameOutsideTheLayout(old, path));
        std::string output;
        ASSERT_EQ(XlsTool::instance().run("formats " + quoted(path) + " Sheet1", &output), 0);
        EXPECT_NE(output.find("F4\t0.000\nG4\tGeneral\n"), std::string::npos) << output;
        EXPECT_NE(output.find("B312\t0.000\nC312\t0.000\n"), std::string::npos) << output;
        Network back;
        ASSERT_TRUE(LoadFromWorkbook(back, path, prompts));
        EXPECT_EQ(back.links().size(), 200u);
        EXPECT_EQ(back.nodes().size(), 100u);
    }
}

// Gnumeric and LibreOffice open a placed network's workbook and, saving it as their own, keep the
// document property that places it. Each is tried only where it is installed.
TEST(Interoperability, SpreadsheetsKeepTheGeoreference) {
    TestDir dir;
    Network net;
    addLinkBetween(net, addNodeAt(net, 0.0f, 0.0f), addNodeAt(net, 1.5f, 0.25f));
    const Georeference placed{"EPSG:2263", 980000.5, 190000.25};
    ASSERT_TRUE(net.setGeoreference(placed));
    const std::string original = dir.file("placed.xls");
    ScriptedPrompts prompts;
    ASSERT_TRUE(SaveToWorkbook(net, original, prompts));

    const std::string profile = "-env:UserInstallation=file://" + dir.file("office-profile");
    const std::pair<const char*, std::string> programs[] = {
        {"/usr/bin/ssconvert", "/usr/bin/ssconvert " + quoted(original) + " " +
                                   quoted(dir.file("gnumeric.xls")) + " >/dev/null 2>&1"},
        {"/usr/bin/soffice", "HOME=" + quoted(dir.path().string()) + " /usr/bin/soffice " +
                                 profile + " --headless --convert-to 'xls:MS Excel 97' --outdir " +
                                 quoted(dir.file("office")) + " " + quoted(original) +
                                 " >/dev/null 2>&1"}};
    const std::string saved[] = {dir.file("gnumeric.xls"), dir.file("office/placed.xls")};
    int tried = 0;
    for (std::size_t i = 0; i < 2; ++i) {
        if (!fs::exists(programs[i].first))
            continue;
        ++tried;
        ASSERT_EQ(std::system(programs[i].second.c_str()), 0) << programs[i].second;
        Network back;
        ASSERT_TRUE(LoadFromWorkbook(back, saved[i], prompts)) << saved[i];
        EXPECT_TRUE(prompts.warnings.empty()) << prompts.warnings.at(0);
        EXPECT_EQ(back.georeference(), placed) << programs[i].first;
        EXPECT_EQ(back.links().size(), 1u);
    }
    if (tried == 0)
        GTEST_SKIP() << "neither Gnumeric's ssconvert nor LibreOffice is installed";
}

} // namespace

} // namespace vantry
