// The Travona layout: which cells hold the network, round trips, limits, questions and messages.
// What each cell holds, exactly, is checked against an independent reader in interop_test.cpp.

#include "excel/biffrecords.h"
#include "excel/compoundfile.h"
#include "excel/workbookfile.h"
#include "excel/workbooklayout.h"
#include "model/network.h"
#include "model/snapshot.h"

#include "excel_test_support.h"
#include "model/model_test_support.h"
#include "support/fedpipe.h"
#include "support/ordinaryuser.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace vantry {

namespace {

namespace fs = std::filesystem;
using excel_test::buildChain;
using excel_test::ScriptedPrompts;
using model_test::addLinkBetween;
using model_test::addNodeAt;

const std::string kData = std::string(VANTRY_TEST_DATA) + "/excel/";

// A small network with every kind of attribute: a two-way pair, explicit and automatic
// lengths, all directions and types, a background bitmap.
void buildSample(Network& net) {
    Node* a = addNodeAt(net, 0.0f, 0.0f);
    Node* b = addNodeAt(net, 1.0f, 0.0f);
    Node* c = addNodeAt(net, 1.0f, 1.0f);
    Node* d = addNodeAt(net, -2.0f, 5.0f);
    Link* ab = addLinkBetween(net, a, b);
    ab->setNumLanes(2);
    ab->setCapacity(1800);
    ab->setFFSpeed(55);
    ab->setJamDensity(190);
    ab->setType(LinkType::Mainline);
    ab->setDescription("First street");
    Link* ba = addLinkBetween(net, b, a);
    ba->setDirection(LinkDirection::Outbound);
    ba->setType(LinkType::Workzone);
    Link* bc = addLinkBetween(net, b, c);
    bc->setLength(5.0f);
    bc->setType(LinkType::Detour1);
    Link* cd = addLinkBetween(net, c, d);
    cd->setType(LinkType::Ramp);
    cd->setDescription("Br\xC3\xBC"
                       "cke \xE2\x86\x92 Nord");
    Link* da = addLinkBetween(net, d, a);
    da->setType(LinkType::Detour2);
    da->setLength(0.0f);
    net.setBitmap("..\\maps\\town.bmp", WorldRect{4.5f, -1.25f, -3.0f, 2.75f});
    net.setPrecision(3);
    net.recomputeBounds();
}

WorkbookFile& openSheet(WorkbookFile& excel, const std::string& path) {
    excel.open(path);
    excel.selectSheet("Sheet1");
    return excel;
}

// A new workbook at `path` with one byte of its sheet's entry in the sheet list changed.
std::string newWorkbookWithSheetByte(const std::string& path, std::size_t at, std::uint8_t value) {
    {
        WorkbookFile excel;
        excel.create(path);
    }
    CompoundFile file = readCompoundFile(path);
    std::vector<std::uint8_t>& stream = file.findStream("Workbook")->data;
    for (const std::size_t pos : excel_test::recordOffsets(stream, biff::kBoundSheet))
        stream[pos + 4 + at] = value;
    const std::vector<std::uint8_t> changed = buildCompoundFile(file);
    const std::string bytes(changed.begin(), changed.end());
    spit(path, bytes);
    return bytes;
}

TEST(WorkbookLayout, ASavedNetworkLoadsBackWithinItsPrecision) {
    TestDir dir;
    Network net;
    buildSample(net);
    addNodeAt(net, 1.23456f, -7.65432f); // written with three decimals
    net.links()[2]->setTwoWaySide(2);    // stale: the link has no reverse twin
    const std::string before = encodeSnapshot(net);
    ScriptedPrompts prompts;
    ASSERT_TRUE(SaveToWorkbook(net, dir.file("net.xls"), prompts));
    // The sides are written as the pair's headings give them; the network is left as it was.
    EXPECT_EQ(encodeSnapshot(net), before);
    {
        WorkbookFile excel;
        openSheet(excel, dir.file("net.xls"));
        const char* types[] = {"M", "WZ", "D1", "R", "D2"};
        for (int row = 3; row < 8; ++row)
            EXPECT_EQ(excel.cell(row, 9), CellValue::text(types[row - 3])) << row;
    }

    Network back;
    ASSERT_TRUE(LoadFromWorkbook(back, dir.file("net.xls"), prompts));
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_TRUE(prompts.messages.empty());
    // What comes back is exactly the network with its coordinates at three decimals and the
    // sides of two-way links as the headings give them.
    net.nodes()[4]->setPosition(WorldPoint{1.235f, -7.654f});
    net.links()[0]->setTwoWaySide(1);
    net.links()[1]->setTwoWaySide(2);
    net.links()[2]->setTwoWaySide(0);
    EXPECT_EQ(model_test::exactDump(back), model_test::exactDump(net));
    EXPECT_EQ(back.bounds(), (WorldRect{5.0f, -7.654f, -2.0f, 1.235f}));
}

// Numbers are those of the text a stream writes with the network's decimals, and their format
// shows exactly those decimals.
TEST(WorkbookLayout, TheGeoreferenceIsKeptOutsideTheSheetAndABadOneIsAWarning) {
    TestDir dir;
    const std::string path = dir.file("net.xls");
    Network net;
    buildSample(net);
    const Georeference placed{"+proj=utm +zone=18 +datum=WGS84", 583960.125, 4507523.5};
    ASSERT_TRUE(net.setGeoreference(placed));
    ScriptedPrompts prompts;
    ASSERT_TRUE(SaveToWorkbook(net, path, prompts));
    Network back;
    ASSERT_TRUE(LoadFromWorkbook(back, path, prompts));
    EXPECT_EQ(back.georeference(), placed);
    EXPECT_TRUE(prompts.warnings.empty());

    // Saving the network unplaced over the file takes the old georeference away.
    ASSERT_TRUE(net.setGeoreference(Georeference{}));
    ASSERT_TRUE(SaveToWorkbook(net, path, prompts));
    Network unplaced;
    ASSERT_TRUE(LoadFromWorkbook(unplaced, path, prompts));
    EXPECT_FALSE(unplaced.georeference().placed());

    {
        WorkbookFile excel;
        excel.open(path);
        excel.setCustomProperty("VantryGeoreference", "east 12 EPSG:2263");
        excel.save();
    }
    Network damaged;
    ASSERT_TRUE(LoadFromWorkbook(damaged, path, prompts));
    EXPECT_FALSE(damaged.georeference().placed());
    EXPECT_EQ(damaged.links().size(), net.links().size());
    ASSERT_EQ(prompts.warnings.size(), 1u);
    EXPECT_NE(prompts.warnings[0].find("VantryGeoreference cannot be read: "), std::string::npos)
        << prompts.warnings[0];
}

TEST(WorkbookLayout, NumbersShowTheNetworksDecimals) {
    struct Case {
        int precision;
        std::string format;
        double x; // node 2's x of 1.23456 as written
    };
    const Case cases[] = {
        {0, "0", 1.0},
        {2, "0.00", 1.23},
        {-1, "0.000000", 1.234560},
        {149, "0." + std::string(149, '0'), static_cast<double>(1.23456f)},
        {400, "0." + std::string(149, '0'), static_cast<double>(1.23456f)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.precision);
        TestDir dir;
        Network net;
        addNodeAt(net, 0.0f, 0.0f);
        addNodeAt(net, 1.23456f, -0.0001f);
        addLinkBetween(net, net.nodes()[0], net.nodes()[1])->setLength(2.5f);
        net.setBitmap("bg.bmp", WorldRect{1.5f, -1.5f, -2.0f, 2.0f});
        net.setPrecision(c.precision);
        ScriptedPrompts prompts;
        ASSERT_TRUE(SaveToWorkbook(net, dir.file("net.xls"), prompts));
        WorkbookFile excel;
        openSheet(excel, dir.file("net.xls"));
        EXPECT_EQ(excel.cell(213, 1), CellValue::number(c.x));
        // -0.0001 is written as "-0.00", whose number is a zero without a sign.
        const double y = excel.cell(213, 2).numberValue();
        if (c.precision == 0 || c.precision == 2) {
            EXPECT_EQ(y, 0.0);
            EXPECT_FALSE(std::signbit(y));
        } else {
            EXPECT_NEAR(y, -0.0001, 1e-9);
        }
        EXPECT_EQ(excel.cell(3, 5), CellValue::number(c.precision == 0 ? 2.0 : 2.5));
        for (const auto& [row, column] : {std::pair{213, 1}, {213, 2}, {3, 5}, {0, 3}, {0, 6}})
            EXPECT_EQ(excel.numberFormat(row, column), c.format) << cellAddress(row, column);
        EXPECT_EQ(excel.cell(0, 3), CellValue::number(-2.0));
    }
}

CellValue n(double v) {
    return CellValue::number(v);
}
CellValue t(const char* s) {
    return CellValue::text(s);
}

// A full network fills both blocks to their last row. The rows right around them are the
// user's: numbers below the links that would read as link 201, an error between the blocks,
// a number below the nodes that would read as node 101.
TEST(WorkbookLayout, AFullNetworkFillsBothBlocksAndLeavesTheRowsAroundThemToTheUser) {
    TestDir dir;
    const std::string path = dir.file("full.xls");
    Network net;
    buildChain(net, kMaxWorkbookNodes, kMaxWorkbookLinks);
    ScriptedPrompts prompts;
    ASSERT_TRUE(SaveToWorkbook(net, path, prompts));
    struct Note {
        int row, column;
        CellValue value;
    };
    const Note notes[] = {{203, 1, n(1)},  {203, 2, n(2)},
                          {203, 5, n(40)}, {204, 1, CellValue::error(CellValue::kErrorNA)},
                          {312, 1, n(3)},  {312, 2, t("n/a")}};
    {
        WorkbookFile excel;
        openSheet(excel, path);
        EXPECT_EQ(excel.cell(202, 1).toInt32(), 100); // link 200: node 100 to node 1
        EXPECT_EQ(excel.cell(202, 2).toInt32(), 1);
        EXPECT_EQ(excel.cell(202, 11).toText(), "link 200");
        EXPECT_EQ(excel.cell(311, 1), CellValue::number(24.75));
        for (const auto& [row, column] : {std::pair{203, 1}, {211, 1}, {312, 1}})
            EXPECT_TRUE(excel.cell(row, column).isEmpty()) << cellAddress(row, column);
        for (const Note& note : notes)
            excel.setCell(note.row, note.column, note.value);
        excel.save();
    }
    Network back;
    ASSERT_TRUE(LoadFromWorkbook(back, path, prompts));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(prompts.warnings.empty());
    EXPECT_EQ(back.nodes().size(), 100u);
    EXPECT_EQ(back.links().size(), 200u);
    EXPECT_EQ(back.links()[199]->description(), "link 200");
    // The workbook opened whole can be saved back, and the notes stay.
    ASSERT_TRUE(SaveToWorkbook(back, path, prompts));
    WorkbookFile excel;
    openSheet(excel, path);
    for (const Note& note : notes)
        EXPECT_EQ(excel.cell(note.row, note.column), note.value)
            << cellAddress(note.row, note.column);
}

TEST(WorkbookLayout, TooLargeNetworksAreRefusedBeforeTheFileIsTouched) {
    TestDir dir;
    const std::string existing = dir.file("old.xls");
    fs::copy_file(kData + "written_by_gnumeric.xls", existing);
    const std::string before = slurp(existing);
    for (const auto& [nodes, links] : {std::pair{100, 201}, std::pair{101, 10}}) {
        Network net;
        buildChain(net, nodes, links);
        ScriptedPrompts prompts;
        EXPECT_FALSE(SaveToWorkbook(net, existing, prompts));
        EXPECT_FALSE(SaveToWorkbook(net, dir.file("new.xls"), prompts));
        EXPECT_EQ(prompts.messages,
                  std::vector<std::string>(2, "Network has too many links and/or nodes to\nsave "
                                              "to Travona's Excel format."));
        EXPECT_EQ(slurp(existing), before);
        EXPECT_FALSE(fs::exists(dir.file("new.xls")));
    }
}

TEST(WorkbookLayout, AWorkbookWithoutTheTagIsAQuestionAndDecliningSaysWhatItLacks) {
    TestDir dir;
    const std::string path = dir.file("net.xls");
    const std::pair<CellValue, const char*> cases[] = {
        {t("kx101"), "Sheet1!A1 is \"kx101\", not \"KX101\""},
        {t("Name"), "Sheet1!A1 is \"Name\", not \"KX101\""},
        {CellValue(), "Sheet1!A1 is empty, not \"KX101\""},
        {n(101), "Sheet1!A1 is 101, not \"KX101\""},
        {CellValue::error(CellValue::kErrorRef), "Sheet1!A1 is #REF!, not \"KX101\""},
    };
    for (const auto& [tag, reason] : cases) {
        SCOPED_TRACE(reason);
        fs::remove(path);
        Network net;
        buildSample(net);
        ScriptedPrompts prompts;
        ASSERT_TRUE(SaveToWorkbook(net, path, prompts));
        {
            WorkbookFile excel;
            openSheet(excel, path);
            excel.setCell(0, 0, tag);
            excel.save();
        }
        Network declined;
        prompts.answers = {false};
        EXPECT_FALSE(LoadFromWorkbook(declined, path, prompts));
        EXPECT_EQ(prompts.questions,
                  std::vector<std::string>{"This workbook was not created for Travona.\n"
                                           "Do you wish to continue?"});
        // Declining leaves the reason, for a run without anyone to ask.
        EXPECT_EQ(prompts.messages,
                  std::vector<std::string>{"The workbook \"" + path +
                                           "\" was not created for Travona: " + reason + "."});
        EXPECT_TRUE(declined.nodes().empty());
        prompts.messages.clear();

        Network accepted;
        prompts.answers = {true};
        EXPECT_TRUE(LoadFromWorkbook(accepted, path, prompts));
        EXPECT_EQ(accepted.links().size(), 5u);
        EXPECT_EQ(prompts.questions.size(), 2u);
        EXPECT_TRUE(prompts.messages.empty());
    }

    fs::remove(path);
    newWorkbookWithSheetByte(path, 13, '9'); // the only sheet is "Sheet9"
    ScriptedPrompts prompts;
    Network net;
    EXPECT_FALSE(LoadFromWorkbook(net, path, prompts));
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"The workbook \"" + path +
                                                         "\" was not created for Travona: there "
                                                         "is no sheet named Sheet1."});
}

// Writes a workbook through the engine with the tag, the given node rows (x, y texts from row
// 213) and link rows (columns B to L from row 4), for loading tests.
void writeLayout(const std::string& path, const std::vector<std::vector<CellValue>>& nodeRows,
                 const std::vector<std::vector<CellValue>>& linkRows) {
    WorkbookFile excel;
    excel.create(path);
    excel.selectSheet("Sheet1");
    excel.setCell(0, 0, CellValue::text("KX101"));
    for (std::size_t r = 0; r < nodeRows.size(); ++r)
        for (std::size_t c = 0; c < nodeRows[r].size(); ++c)
            excel.setCell(212 + static_cast<int>(r), 1 + static_cast<int>(c), nodeRows[r][c]);
    for (std::size_t r = 0; r < linkRows.size(); ++r)
        for (std::size_t c = 0; c < linkRows[r].size(); ++c)
            excel.setCell(3 + static_cast<int>(r), 1 + static_cast<int>(c), linkRows[r][c]);
    excel.save();
}

TEST(WorkbookLayout, ReadsValuesAsTheirCellsHoldThem) {
    TestDir dir;
    writeLayout(
        dir.file("in.xls"),
        {{t("0"), t("0")}, {n(3), n(4)}, {t(" 1.5 "), t("-2")}, {}, {t("9"), t("9")}},
        {{n(1), n(2), t("3"), n(1500.4), t("6.5000"), n(45), n(160), t("out"), t("m"), n(7), n(12)},
         {n(2), n(7), {}, {}, {}, {}, {}, t("x"), t("D2"), n(2), {}},
         {t("3"), n(1), n(1), n(1), n(2.50005), n(1), n(1), {}, t("WZ"), n(1), t("ok")},
         {n(0), n(3), n(1)},
         {n(1), n(2), n(1)}});
    ScriptedPrompts prompts;
    Network net;
    ASSERT_TRUE(LoadFromWorkbook(net, dir.file("in.xls"), prompts)) << prompts.messages[0];
    // Nodes stop at the first empty row; link rows stop at the first from or to of 0; a link to
    // an undefined node makes one at (0, 0) after those read.
    ASSERT_EQ(net.nodes().size(), 4u);
    EXPECT_EQ(net.nodes()[2]->position(), (WorldPoint{1.5f, -2.0f}));
    EXPECT_EQ(net.nodes()[3]->position(), (WorldPoint{0.0f, 0.0f}));
    ASSERT_EQ(net.links().size(), 3u);
    const Link* first = net.links()[0];
    EXPECT_EQ(first->numLanes(), 3);
    EXPECT_EQ(first->capacity(), 1500);
    EXPECT_FALSE(first->hasAutomaticLength());
    EXPECT_EQ(first->effectiveLength(), 6.5f);
    EXPECT_EQ(first->direction(), LinkDirection::Outbound);
    EXPECT_EQ(first->type(), LinkType::None);
    EXPECT_EQ(first->twoWaySide(), 0);
    EXPECT_EQ(first->description(), "12");
    const Link* second = net.links()[1];
    EXPECT_EQ(second->toNode(), net.nodes()[3]);
    EXPECT_EQ(second->direction(), LinkDirection::Inbound);
    EXPECT_EQ(second->type(), LinkType::Detour2);
    EXPECT_EQ(second->twoWaySide(), 2);
    // An empty length is an explicit 0 when the nodes are apart.
    EXPECT_FALSE(second->hasAutomaticLength());
    EXPECT_EQ(second->effectiveLength(), 0.0f);
    // Within what rounding its numbers as written can explain (whole miles for x and y here)
    // the length is automatic.
    const Link* third = net.links()[2];
    EXPECT_TRUE(third->hasAutomaticLength());
    EXPECT_EQ(third->direction(), LinkDirection::Inbound);
    EXPECT_EQ(net.bounds(), (WorldRect{4.0f, -2.0f, 0.0f, 3.0f}));
}

TEST(WorkbookLayout, AutomaticLengthsStayAutomaticAtEveryPrecision) {
    for (const int precision : {0, 1, 3, 6, -1}) {
        SCOPED_TRACE(precision);
        TestDir dir;
        Network net, back;
        model_test::buildAwkwardLengths(net);
        net.setPrecision(precision);
        ScriptedPrompts prompts;
        ASSERT_TRUE(SaveToWorkbook(net, dir.file("net.xls"), prompts));
        ASSERT_TRUE(LoadFromWorkbook(back, dir.file("net.xls"), prompts));
        ASSERT_EQ(back.links().size(), 43u);
        for (int i = 0; i < 40; ++i)
            EXPECT_TRUE(back.links()[i]->hasAutomaticLength()) << i;
        const bool fine = precision >= 2 || precision < 0;
        EXPECT_EQ(back.links()[40]->hasAutomaticLength(), !fine);
        EXPECT_FALSE(back.links()[41]->hasAutomaticLength());
        // The cells hold 3, 4 and 5.01: only their number format tells that the coordinates
        // were rounded to the length's decimals, not to whole miles.
        EXPECT_EQ(back.links()[42]->hasAutomaticLength(), !fine);
        // Automatic lengths were written as the distance between the nodes in the cells, so
        // they save again as they were.
        back.setPrecision(precision);
        ASSERT_TRUE(SaveToWorkbook(back, dir.file("again.xls"), prompts));
        WorkbookFile first, again;
        openSheet(first, dir.file("net.xls"));
        openSheet(again, dir.file("again.xls"));
        for (int row = 3; row < 43; ++row)
            EXPECT_EQ(again.cell(row, 5), first.cell(row, 5)) << row;
    }
}

TEST(WorkbookLayout, ACellThatCannotBeReadEndsItsBlockWithAWarning) {
    struct Case {
        std::vector<std::vector<CellValue>> nodes;
        std::vector<std::vector<CellValue>> links;
        std::size_t nodesRead, linksRead;
        std::string warning;
    };
    const std::vector<std::vector<CellValue>> twoNodes{{n(0), n(0)}, {n(1), n(1)}};
    const Case cases[] = {
        {twoNodes,
         {{n(1), n(2), t("two")}},
         2,
         0,
         "Cell D4 of sheet \"Sheet1\" cannot be read. The text \"two\" is not a number. The links "
         "end before it, after link 0."},
        {twoNodes,
         {{n(1), n(2)}, {t("1"), t("second")}},
         2,
         1,
         "Cell C5 of sheet \"Sheet1\" cannot be read. The text \"second\" is not a number. The "
         "links end before it, after link 1."},
        {twoNodes,
         {{n(1), n(2), {}, {}, t("1,5")}},
         2,
         0,
         "Cell F4 of sheet \"Sheet1\" cannot be read. The text \"1,5\" is not a number. The links "
         "end before it, after link 0."},
        {twoNodes,
         {{n(1), n(1), n(3e9)}},
         2,
         0,
         "Cell D4 of sheet \"Sheet1\" cannot be read. The number 3000000000 is too large for a "
         "whole number. The links end before it, after link 0."},
        {{{n(0), CellValue::error(CellValue::kErrorNA)}},
         {},
         0,
         0,
         "Cell C213 of sheet \"Sheet1\" cannot be read. The cell holds the error value #N/A. The "
         "nodes end before it, after node 0."},
        // The nodes end at "n/a"; a link to a node past those read is not joined to a stand-in.
        {{{n(0), n(0)}, {n(1), n(1)}, {t("n/a"), n(2)}, {n(3), n(3)}},
         {{n(1), n(2)}, {n(2), n(4)}, {n(1), n(2)}},
         2,
         1,
         "Cell B215 of sheet \"Sheet1\" cannot be read. The text \"n/a\" is not a number. The "
         "nodes end before it, after node 2.\n"
         "Cell C5 of sheet \"Sheet1\" cannot be read. It names node 4, which lies past the nodes "
         "read. The links end before it, after link 1."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.warning);
        TestDir dir;
        writeLayout(dir.file("bad.xls"), c.nodes, c.links);
        ScriptedPrompts prompts;
        Network net;
        EXPECT_TRUE(LoadFromWorkbook(net, dir.file("bad.xls"), prompts));
        EXPECT_TRUE(prompts.messages.empty());
        EXPECT_EQ(net.nodes().size(), c.nodesRead);
        EXPECT_EQ(net.links().size(), c.linksRead);
        EXPECT_EQ(prompts.warnings, std::vector<std::string>{c.warning});
        // What was read is whole: every link joins two of the nodes read.
        for (const Link* l : net.links()) {
            EXPECT_LE(l->fromNode()->id(), static_cast<std::int32_t>(c.nodesRead));
            EXPECT_LE(l->toNode()->id(), static_cast<std::int32_t>(c.nodesRead));
        }
    }

    // A picture edge that cannot be read leaves the network without its picture.
    TestDir dir;
    writeLayout(dir.file("header.xls"), {{n(0), n(0)}, {n(1), n(1)}}, {{n(1), n(2)}});
    {
        WorkbookFile excel;
        openSheet(excel, dir.file("header.xls"));
        excel.setCell(0, 2, t("town.bmp"));
        excel.setCell(0, 4, t("top"));
        excel.save();
    }
    ScriptedPrompts prompts;
    Network net;
    EXPECT_TRUE(LoadFromWorkbook(net, dir.file("header.xls"), prompts));
    EXPECT_EQ(net.links().size(), 1u);
    EXPECT_EQ(net.bitmapPath(), "");
    EXPECT_EQ(prompts.warnings,
              std::vector<std::string>{"Cell E1 of sheet \"Sheet1\" cannot be read. The text "
                                       "\"top\" is not a number. The network has no background "
                                       "picture."});
}

TEST(WorkbookLayout, AWorkbookThatCannotBeOpenedFailsTheLoadWithTheReason) {
    // Every reason a workbook is refused is in workbookfile_test.cpp; here it reaches the user.
    const std::string excel95 = kData + "excel95.xls";
    const std::pair<std::string, std::string> cases[] = {
        {kData + "missing.xls", "The file \"" + kData + "missing.xls\" does not exist."},
        {excel95, "The file \"" + excel95 +
                      "\" was saved in the Excel 5.0/95 format, which Vantry cannot read. Save it "
                      "as an Excel 97-2003 workbook (.xls) and try again."},
    };
    for (const auto& [path, reason] : cases) {
        ScriptedPrompts prompts;
        Network net;
        EXPECT_FALSE(LoadFromWorkbook(net, path, prompts));
        EXPECT_EQ(prompts.messages,
                  std::vector<std::string>{"Unable to load data from Excel workbook.\n" + reason});
        EXPECT_TRUE(prompts.questions.empty());
    }
}

// Saving never replaces a file it could not open or whose "Sheet1" cannot take the layout, and
// creates nothing in a folder that does not exist.
TEST(WorkbookLayout, AFailedSaveLeavesTheFileAsItWas) {
    TestDir dir;
    const auto file = [&](const char* name) { return "The file \"" + dir.file(name) + "\" "; };
    spit(dir.file("notes.xls"), "my notes, not a workbook");
    fs::copy_file(kData + "xlsx_renamed.xls", dir.file("new.xls"));
    newWorkbookWithSheetByte(dir.file("chart.xls"), 5, 2); // the sheet's type: a chart
    const std::pair<std::string, std::string> cases[] = {
        {dir.file("notes.xls"), file("notes.xls") + "is not an Excel 97-2003 workbook."},
        {dir.file("new.xls"),
         file("new.xls") + "is an Excel 2007 or later workbook (.xlsx) or another zip archive, "
                           "although its name ends in .xls. Vantry reads only Excel 97-2003 "
                           "workbooks: save it in that format and try again."},
        {dir.file("chart.xls"), "The sheet \"Sheet1\" is not a worksheet."},
        {dir.file("no/such/folder.xls"),
         file("no/such/folder.xls") + "cannot be saved: its folder does not exist."},
    };
    for (const auto& [path, reason] : cases) {
        const std::string before = slurp(path);
        Network net;
        buildSample(net);
        ScriptedPrompts prompts;
        EXPECT_FALSE(SaveToWorkbook(net, path, prompts));
        EXPECT_EQ(prompts.messages,
                  std::vector<std::string>{"Unable to save data to Excel workbook\n" + reason});
        EXPECT_EQ(slurp(path), before) << path;
    }
    EXPECT_FALSE(fs::exists(dir.file("no")));
}

TEST(WorkbookLayout, AReadOnlyWorkbookIsNotReplaced) {
    TestDir dir;
    const std::string path = dir.file("shared.xls");
    fs::copy_file(kData + "written_by_libreoffice.xls", path);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(path.c_str(), kNobody, kNogroup), 0);
    }
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string before = slurp(path);
    const auto complaint = asOrdinaryUser(dir, [&]() -> std::string {
        Network net;
        buildSample(net);
        ScriptedPrompts prompts;
        if (SaveToWorkbook(net, path, prompts))
            return "the read-only workbook was replaced";
        if (prompts.messages.size() != 1 ||
            prompts.messages[0].find("\"" + path + "\"") == std::string::npos ||
            prompts.messages[0].find("permission to write to it") == std::string::npos)
            return "unclear message: " + (prompts.messages.empty() ? "" : prompts.messages[0]);
        return "";
    });
    if (!complaint)
        GTEST_SKIP() << "cannot run as an ordinary user here";
    EXPECT_EQ(*complaint, "");
    EXPECT_EQ(slurp(path), before);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    if (geteuid() == 0) {
        EXPECT_EQ(st.st_uid, kNobody);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(WorkbookLayout, ANewWorkbookIsWrittenOnceWhenComplete) {
    // Saving through a link to a file that does not exist yet, where files may not grow past
    // 6000 bytes: an empty workbook would fit, the full one does not. The save fails as a whole,
    // and the user's link stays as it was.
    TestDir dir;
    fs::create_symlink("made.xls", dir.file("link.xls"));
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{6000, 6000};
        setrlimit(RLIMIT_FSIZE, &limit);
        Network net;
        buildChain(net, kMaxWorkbookNodes, kMaxWorkbookLinks);
        ScriptedPrompts prompts;
        const bool saved = SaveToWorkbook(net, dir.file("link.xls"), prompts);
        _exit(!saved && prompts.messages.size() == 1 &&
                      prompts.messages[0].find("file too large") != std::string::npos
                  ? 0
                  : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save should have failed with the reason";
    EXPECT_TRUE(fs::is_symlink(dir.file("link.xls")));
    EXPECT_FALSE(fs::exists(dir.file("made.xls")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // Without the limit the same save makes the workbook, in one piece, behind the link.
    Network net;
    buildChain(net, kMaxWorkbookNodes, kMaxWorkbookLinks);
    ScriptedPrompts prompts;
    ASSERT_TRUE(SaveToWorkbook(net, dir.file("link.xls"), prompts));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.xls")));
    Network back;
    ASSERT_TRUE(LoadFromWorkbook(back, dir.file("made.xls"), prompts));
    EXPECT_EQ(back.links().size(), net.links().size());
}

TEST(WorkbookLayout, APipeInPlaceOfTheWorkbookIsRefusedWithoutWaiting) {
    TestDir dir;
    const FedPipe pipe(dir.file("pipe.xls"), slurp(kData + "written_by_libreoffice.xls"));
    ASSERT_TRUE(pipe.ready());
    for (const bool saving : {false, true}) {
        SCOPED_TRACE(saving ? "saving" : "loading");
        Network net;
        if (saving)
            buildSample(net);
        ScriptedPrompts prompts;
        EXPECT_FALSE(saving ? SaveToWorkbook(net, dir.file("pipe.xls"), prompts)
                            : LoadFromWorkbook(net, dir.file("pipe.xls"), prompts));
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_NE(prompts.messages[0].find("\"" + dir.file("pipe.xls") +
                                           "\" cannot be opened: it is a pipe, not a file."),
                  std::string::npos)
            << prompts.messages[0];
        EXPECT_TRUE(fs::is_fifo(dir.file("pipe.xls")));
    }
}

TEST(WorkbookLayout, AWorkbookMarkedReadOnlyIsReplacedOnlyWhenTheUserSaidSo) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root may write a file without write permission";
    TestDir dir;
    const std::string path = dir.file("kept.xls");
    fs::copy_file(kData + "written_by_libreoffice.xls", path);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string before = slurp(path);
    Network net;
    buildSample(net);
    ScriptedPrompts prompts;
    EXPECT_FALSE(SaveToWorkbook(net, path, prompts));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find("it is read-only"), std::string::npos)
        << prompts.messages[0];
    EXPECT_EQ(slurp(path), before);
    ASSERT_TRUE(SaveToWorkbook(net, path, prompts, ReadOnlyFiles::Replace));
    EXPECT_NE(slurp(path), before);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

TEST(WorkbookLayout, SavingAgainLeavesNothingStaleAndKeepsTheRestOfTheSheet) {
    TestDir dir;
    const std::string path = dir.file("net.xls");
    Network net;
    buildChain(net, 6, 5);
    net.setBitmap("bg.bmp", WorldRect{1.5f, -1.5f, -2.0f, 2.0f});
    ScriptedPrompts prompts;
    ASSERT_TRUE(SaveToWorkbook(net, path, prompts));
    {
        WorkbookFile excel;
        openSheet(excel, path);
        excel.setCell(1, 0, CellValue::text("title")); // row 2
        excel.setCell(9, 12, CellValue::number(42));   // M10
        excel.setCell(205, 1, CellValue::text("sum")); // row 206
        excel.setCell(3, 12, CellValue::text("M4"));   // beside the link block
        excel.save();
    }
    Network smaller; // without a background picture
    buildChain(smaller, 4, 3);
    ASSERT_TRUE(SaveToWorkbook(smaller, path, prompts));
    {
        WorkbookFile excel;
        openSheet(excel, path);
        EXPECT_TRUE(excel.cell(6, 1).isEmpty()); // link 4's row
        EXPECT_TRUE(excel.cell(7, 11).isEmpty());
        EXPECT_TRUE(excel.cell(216, 1).isEmpty()); // node 5's row
        for (int column = 2; column <= 6; ++column)
            EXPECT_TRUE(excel.cell(0, column).isEmpty()) << cellAddress(0, column);
        EXPECT_EQ(excel.cell(1, 0), CellValue::text("title"));
        EXPECT_EQ(excel.cell(9, 12), CellValue::number(42));
        EXPECT_EQ(excel.cell(205, 1), CellValue::text("sum"));
        EXPECT_EQ(excel.cell(3, 12), CellValue::text("M4"));
    }
    Network back;
    ASSERT_TRUE(LoadFromWorkbook(back, path, prompts));
    EXPECT_EQ(back.nodes().size(), 4u);
    EXPECT_EQ(back.links().size(), 3u);
    EXPECT_EQ(back.bitmapPath(), "");
    EXPECT_EQ(back.bitmapRect(), WorldRect{});
}

// Descriptions from files written on Windows are Windows-1252 bytes: the workbook gets the
// characters their authors saw, and reading gives the same bytes back.
TEST(WorkbookLayout, DescriptionsKeepTheBytesOfTheirCodePage) {
    // Each description, and the cell's text (UTF-8) it is saved as.
    const std::pair<std::string, std::string> cases[] = {
        {"\x93"
         "Caf\xE9\x94 \x80 5",
         "\xE2\x80\x9C"
         "Caf\xC3\xA9\xE2\x80\x9D \xE2\x82\xAC 5"},
        {"na\xEFve \x85", "na\xC3\xAFve \xE2\x80\xA6"},
        // The five bytes the code page leaves undefined come back too.
        {"x\x81\x8D\x8F\x90\x9Dy", "x\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9Dy"},
    };
    for (const auto& [bytes, text] : cases) {
        SCOPED_TRACE(bytes);
        TestDir dir;
        Network net;
        buildChain(net, 2, 1);
        net.links()[0]->setDescription(bytes);
        ScriptedPrompts prompts;
        ASSERT_TRUE(SaveToWorkbook(net, dir.file("net.xls"), prompts));
        {
            WorkbookFile excel;
            openSheet(excel, dir.file("net.xls"));
            EXPECT_EQ(excel.cell(3, 11), CellValue::text(text));
        }
        Network back;
        ASSERT_TRUE(LoadFromWorkbook(back, dir.file("net.xls"), prompts));
        ASSERT_EQ(back.links().size(), 1u);
        EXPECT_EQ(back.links()[0]->description(), bytes);
    }
    // Workbooks written when 8-bit text went in as control characters read back as those bytes.
    TestDir dir;
    writeLayout(dir.file("old.xls"), {{n(0), n(0)}, {n(1), n(1)}},
                {{n(1), n(2), n(1), n(1), n(1), n(1), n(1), t("I"), t("M"), n(0),
                  t("\xC2\x93quoted\xC2\x94")}});
    ScriptedPrompts prompts;
    Network back;
    ASSERT_TRUE(LoadFromWorkbook(back, dir.file("old.xls"), prompts));
    EXPECT_EQ(back.links()[0]->description(), "\x93quoted\x94");
}

} // namespace

} // namespace vantry
