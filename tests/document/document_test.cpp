#include "document/networkfiles.h"
#include "document/vantrydoc.h"
#include "model/model_test_support.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/pictures.h"
#include "support/recordingview.h"
#include "support/scriptedprompter.h"
#include "support/solidbmp.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace vantry {

// Reaches into a document's history to damage a kept state, as a failing memory or a bug might.
struct SnapshotHistoryTestAccess {
    static void damageNewestUndo(const SnapshotHistory& history) {
        auto& newest = const_cast<SnapshotHistory&>(history).undo_.back();
        for (auto& piece : newest.snapshot) {
            auto damaged = std::make_shared<SnapshotHistory::Piece>(*piece);
            damaged->bytes.assign(damaged->bytes.size(), '\x5a');
            piece = damaged;
        }
    }
};

namespace {

using model_test::exactDump;

const char* const kExample = "KX101\n"
                             "0.000 0.000\n"
                             "1.500 0.000\n"
                             "EndNodes\n"
                             "1 2 2 1400 1.500 50 190 I M Main St\n"
                             "2 1 2 1400 1.500 50 190 O  \n"
                             "EndLinks\n"
                             "\n"
                             "0.000 0.000 0.000 0.000\n";

class DocumentTest : public ::testing::Test {
protected:
    DocumentTest() {
        settings->persistOnExit = false;
        settings->precision.value = 3;
        doc.addView(&view);
    }

    // Adds one node at x through the edit protocol.
    void addNodeAt(float x) {
        doc.edit("Add Node", [x](Network& net) {
            createNodeAt(net, {x, 0.0f});
            return true;
        });
    }

    SingletonPtr<UserDefinedSettings> settings;
    TestDir dir;
    ScriptedPrompter prompter;
    CVantryDoc doc{&prompter};
    RecordingView view;
};

// The text keeps as many decimals as the user set at the moment of the save, whatever it is, and
// opens again as what it says.
TEST_F(DocumentTest, SavedTextHoldsThePrecisionSettingAndOpensAsTheSameNetwork) {
    spit(dir.file("in.txt"), kExample);
    ASSERT_TRUE(doc.OnOpenDocument(dir.file("in.txt"))) << doc.lastError();
    doc.edit("Edit", [](Network& net) {
        createNodeAt(net, {0.1234567f, -2.0f});
        return true;
    });
    const struct {
        int precision;
        const char* nodeLine;
        float x;
    } cases[] = {{3, "\n0.123 -2.000\n", 0.123f},
                 {0, "\n0 -2\n", 0.0f},
                 {5, "\n0.12346 -2.00000\n", 0.12346f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.precision);
        settings->precision.value = c.precision;
        ASSERT_TRUE(doc.OnSaveDocument(dir.file("out.txt"))) << doc.lastError();
        EXPECT_FALSE(doc.IsModified());
        EXPECT_NE(slurp(dir.file("out.txt")).find(c.nodeLine), std::string::npos);
        CVantryDoc reopened;
        ASSERT_TRUE(reopened.OnOpenDocument(dir.file("out.txt"))) << reopened.lastError();
        ASSERT_EQ(reopened.network().nodes().size(), 3u);
        EXPECT_EQ(reopened.network().nodes()[2]->x(), c.x);
        EXPECT_FALSE(reopened.IsModified());
        EXPECT_FALSE(reopened.canUndo() || reopened.canRedo());
    }
}

TEST_F(DocumentTest, UnrecognisedExtensionsAreRefusedWithTheSupportedOnesNamed) {
    addNodeAt(1.0f);
    const std::string supported =
        "only network files ending in \".xls\" (workbook) or \".txt\" (text) are supported";
    const std::string lowerCase = "; the extension must be written in lower case";
    const std::pair<const char*, std::string> cases[] = {
        {"NET.TXT", lowerCase}, {"net.Xls", lowerCase}, {"net", ""}, {"net.csv", ""}};
    for (const auto& [name, hint] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(doc.OnSaveDocument(dir.file(name)));
        EXPECT_EQ(doc.lastError(),
                  "Cannot save \"" + dir.file(name) + "\": " + supported + hint + ".");
        EXPECT_FALSE(std::filesystem::exists(dir.file(name)));
        EXPECT_TRUE(doc.IsModified());
    }

    spit(dir.file("NET.TXT"), kExample);
    CVantryDoc other;
    EXPECT_FALSE(other.OnOpenDocument(dir.file("NET.TXT")));
    EXPECT_EQ(other.lastError(),
              "Cannot open \"" + dir.file("NET.TXT") + "\": " + supported + lowerCase + ".");
}

TEST_F(DocumentTest, FailedOpenSaysWhichFileAndWhyAndKeepsNothing) {
    EXPECT_FALSE(doc.OnOpenDocument(dir.file("missing.txt")));
    EXPECT_EQ(doc.lastError(),
              "Cannot open \"" + dir.file("missing.txt") + "\": no such file or directory.");

    std::string broken = kExample;
    broken.replace(broken.find("1400 1.500 50 190 O"), 4, "many");
    spit(dir.file("broken.txt"), broken);
    EXPECT_FALSE(doc.OnOpenDocument(dir.file("broken.txt")));
    EXPECT_EQ(doc.lastError(), "Cannot open \"" + dir.file("broken.txt") +
                                   "\": line 6: the link's capacity is missing or is not a whole "
                                   "number.");
    EXPECT_TRUE(doc.network().nodes().empty());
    EXPECT_TRUE(doc.network().links().empty());

    EXPECT_FALSE(doc.OnOpenDocument(dir.file("book.xls")));
    EXPECT_NE(doc.lastError().find("workbook"), std::string::npos);
}

TEST_F(DocumentTest, AWorkbookOpenedInPartTellsTheUserWhatWasLeftOut) {
    const std::string path = std::string(VANTRY_TEST_DATA) + "/excel/unreadable_node.xls";
    ASSERT_TRUE(doc.OnOpenDocument(path)) << doc.lastError();
    EXPECT_EQ(doc.network().nodes().size(), 2u);
    EXPECT_EQ(doc.network().links().size(), 2u);
    EXPECT_EQ(doc.lastError(), "");
    EXPECT_EQ(
        doc.lastWarning().rfind("Only part of \"" + path + "\" could be read.\nCell B215 ", 0), 0u)
        << doc.lastWarning();
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].kind, "message");
    EXPECT_EQ(prompter.asked[0].text, doc.lastWarning());
    // A whole file clears the warning.
    spit(dir.file("whole.txt"), kExample);
    ASSERT_TRUE(doc.OnOpenDocument(dir.file("whole.txt")));
    EXPECT_EQ(doc.lastWarning(), "");
    EXPECT_EQ(prompter.asked.size(), 1u);
}

TEST_F(DocumentTest, SaveAsProposesANameAndAFailedSaveKeepsThePathAndTheModifiedFlag) {
    doc.SetTitle("Plan#2;draft");
    prompter.paths.push_back(std::nullopt);
    EXPECT_FALSE(doc.DoSave(std::nullopt));
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text, std::string("Plan.xls|") + networkFileFilter());

    addNodeAt(2.0f);
    prompter.paths.push_back(dir.file("plan.txt"));
    ASSERT_TRUE(doc.DoSave(std::nullopt));
    EXPECT_EQ(doc.GetPathName(), dir.file("plan.txt"));
    EXPECT_EQ(doc.GetTitle(), "plan.txt");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.proposedSaveName(), dir.file("plan.txt"));

    addNodeAt(3.0f);
    prompter.paths.push_back(dir.file("typed-without-extension"));
    EXPECT_FALSE(doc.DoSave(std::nullopt));
    ASSERT_EQ(prompter.asked.back().kind, "message");
    EXPECT_EQ(prompter.asked.back().icon, Prompter::Icon::Stop);
    EXPECT_NE(prompter.asked.back().text.find("typed-without-extension"), std::string::npos);
    EXPECT_EQ(doc.GetPathName(), dir.file("plan.txt"));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(prompter.unexpected, 0);
}

// Every state comes back exactly, whatever the saves between the edits wrote, and the modified
// flag follows the saved state rather than the depth of the history.
TEST_F(DocumentTest, UndoAndRedoWalkTheHistoryExactlyAndTrackTheSavedState) {
    settings->precision.value = 0; // the coarsest text, where any rounding shows
    spit(dir.file("in.txt"), kExample);
    ASSERT_TRUE(doc.OnOpenDocument(dir.file("in.txt")));
    addNodeAt(3.0f);
    doc.OnEditUndo();
    EXPECT_FALSE(doc.IsModified()) << "back at what the file holds";
    view.clear();

    std::vector<std::string> states{exactDump(doc.network())};
    for (const WorldPoint p : {WorldPoint{0.1234567f, 1.0f / 3.0f}, WorldPoint{2.5e-7f, -7.77777f},
                               WorldPoint{12345.678f, 0.5f}}) {
        doc.edit("Edit", [&](Network& net) {
            connectNodes(net, net.nodes().front(), createNodeAt(net, p), true,
                         LinkDefaults{2, 1400, 50, 190});
            return true;
        });
        states.push_back(exactDump(doc.network()));
        ASSERT_TRUE(doc.OnSaveDocument(dir.file("step.txt"))) << doc.lastError();
        ASSERT_EQ(exactDump(doc.network()), states.back()) << "saving rounds nothing it keeps";
    }
    for (std::size_t i = states.size() - 1; i-- > 0;) {
        doc.OnEditUndo();
        ASSERT_EQ(exactDump(doc.network()), states[i]);
        EXPECT_TRUE(doc.IsModified());
    }
    EXPECT_FALSE(doc.canUndo());
    for (std::size_t i = 1; i < states.size(); ++i) {
        doc.OnEditRedo();
        ASSERT_EQ(exactDump(doc.network()), states[i]);
    }
    EXPECT_FALSE(doc.IsModified()) << "back at the saved state";
    EXPECT_FALSE(doc.canRedo());
    EXPECT_EQ(view.hints,
              (std::vector<ChangeKind>{ChangeKind::Redraw, ChangeKind::Redraw, ChangeKind::Redraw,
                                       ChangeKind::NetworkReplaced, ChangeKind::NetworkReplaced,
                                       ChangeKind::NetworkReplaced, ChangeKind::NetworkReplaced,
                                       ChangeKind::NetworkReplaced, ChangeKind::NetworkReplaced}));

    // Another network at the saved state's depth is not the saved one.
    doc.OnEditUndo();
    addNodeAt(7.0f);
    doc.OnEditUndo();
    doc.OnEditRedo();
    EXPECT_TRUE(doc.IsModified());
}

// Views redraw only around what an edit names, so the area must hold every place where a
// changed object was or is drawn, and nothing may be added or removed under that hint.
TEST_F(DocumentTest, EditsOfNamedObjectsAndTheirUndoTellTheViewsTheAreaBeforeAndAfter) {
    Network& net = doc.network();
    Node* a = createNodeAt(net, {0.0f, 0.0f});
    Node* b = createNodeAt(net, {2.0f, 0.0f});
    Node* c = createNodeAt(net, {10.0f, 10.0f});
    connectNodes(net, a, b, false, LinkDefaults{1, 1, 1, 1});
    connectNodes(net, b, c, false, LinkDefaults{1, 1, 1, 1});
    Link* far = net.links()[1];
    const auto areaIs = [&](float left, float bottom, float right, float top) {
        ASSERT_FALSE(view.areas.empty());
        ASSERT_TRUE(view.areas.back().has_value());
        EXPECT_EQ(*view.areas.back(), (WorldRect{top, bottom, left, right}));
    };

    ASSERT_TRUE(doc.editObjects("Edit", {a}, {}, [&](Network&) {
        moveNodes({a}, {-1.0f, 3.0f});
        return true;
    }));
    EXPECT_EQ(view.hints, std::vector<ChangeKind>{ChangeKind::AreaChanged});
    // Where node 1 was and is, and the other end of its link; not node 3.
    areaIs(-1.0f, 0.0f, 2.0f, 3.0f);

    view.clear();
    doc.OnEditUndo();
    EXPECT_EQ(a->position(), (WorldPoint{0.0f, 0.0f})) << "the same node, moved back";
    EXPECT_EQ(view.hints, std::vector<ChangeKind>{ChangeKind::AreaRestored});
    areaIs(-1.0f, 0.0f, 2.0f, 3.0f);
    doc.OnEditRedo();
    areaIs(-1.0f, 0.0f, 2.0f, 3.0f);

    // A link's attributes: both its ends.
    view.clear();
    ASSERT_TRUE(doc.editObjects("Edit", {}, {far}, [&](Network&) {
        far->setType(LinkType::Workzone);
        return true;
    }));
    areaIs(2.0f, 0.0f, 10.0f, 10.0f);
    doc.OnEditUndo();
    EXPECT_EQ(far->type(), LinkType::None);
    areaIs(2.0f, 0.0f, 10.0f, 10.0f);
    // A description is not drawn, but a view showing it may be: the step still names the link.
    doc.edit("Edit", [&](Network&) {
        far->setDescription("Main St");
        return true;
    });
    view.clear();
    doc.OnEditUndo();
    EXPECT_EQ(view.hints, std::vector<ChangeKind>{ChangeKind::AreaRestored});
    areaIs(2.0f, 0.0f, 10.0f, 10.0f);

    // Objects added or removed, or a link joining other nodes: the whole network is new.
    addNodeAt(5.0f);
    view.clear();
    doc.OnEditUndo();
    doc.edit("Edit", [&](Network&) {
        far->setToNode(a);
        return true;
    });
    doc.OnEditUndo();
    EXPECT_EQ(view.hints, (std::vector<ChangeKind>{ChangeKind::NetworkReplaced, ChangeKind::Redraw,
                                                   ChangeKind::NetworkReplaced}));
}

// The Undo and Redo menu items name the step they would take, and a step keeps its name as it
// moves between undo and redo. An edit that changes nothing is no step: it takes no name and
// leaves the redo history.
TEST_F(DocumentTest, UndoAndRedoNameTheEditTheyWouldTake) {
    EXPECT_EQ(doc.undoName(), "");
    addNodeAt(1.0f);
    Node* n = doc.network().nodes().back();
    ASSERT_TRUE(doc.editObjects("Move Nodes", {n}, {}, [&](Network&) {
        moveNodes({n}, {1.0f, 1.0f});
        return true;
    }));
    EXPECT_EQ(doc.undoName(), "Move Nodes");
    EXPECT_EQ(doc.redoName(), "");

    doc.OnEditUndo();
    view.clear();
    EXPECT_FALSE(doc.edit("Delete", [](Network&) { return false; }));
    EXPECT_TRUE(view.hints.empty());
    EXPECT_EQ(doc.undoDepth(), 1u);
    EXPECT_EQ(doc.redoDepth(), 1u);
    EXPECT_EQ(doc.undoName(), "Add Node");
    EXPECT_EQ(doc.redoName(), "Move Nodes");
    doc.OnEditUndo();
    EXPECT_EQ(doc.undoName(), "");
    EXPECT_EQ(doc.redoName(), "Add Node");
    doc.OnEditRedo();
    doc.OnEditRedo();
    EXPECT_EQ(doc.undoName(), "Move Nodes");
    // A new edit after an undo drops the redo step and its name.
    doc.OnEditUndo();
    addNodeAt(2.0f);
    EXPECT_EQ(doc.undoName(), "Add Node");
    EXPECT_EQ(doc.redoName(), "");
    EXPECT_FALSE(doc.canRedo());
}

TEST_F(DocumentTest, UndoLeavesAutomaticLengthsAutomatic) {
    // Through a text snapshot the length came back as an explicit 1.41 and no longer followed
    // node 2 when it moved.
    spit(dir.file("diagonal.txt"), "KX101\n0 0\n1 1\nEndNodes\n1 2 1 1000 1.4142 50 190 I M\n"
                                   "EndLinks\n\n0 0 0 0\n");
    ASSERT_TRUE(doc.OnOpenDocument(dir.file("diagonal.txt"))) << doc.lastError();
    addNodeAt(5.0f);
    doc.OnEditUndo();
    doc.edit("Edit", [](Network& net) {
        moveNodes({net.nodes()[1]}, WorldPoint{0.08f, 0.0f});
        return true;
    });
    settings->precision.value = 2;
    ASSERT_TRUE(doc.OnSaveDocument(dir.file("moved.txt"))) << doc.lastError();
    EXPECT_NE(slurp(dir.file("moved.txt")).find("\n1 2 1 1000 1.47 50 190 I M \n"),
              std::string::npos)
        << slurp(dir.file("moved.txt"));
}

TEST_F(DocumentTest, AStateThatCannotBeRestoredLeavesTheNetworkAndTellsTheUser) {
    addNodeAt(1.0f);
    doc.edit("Edit", [](Network& net) {
        return connectNodes(net, createNodeAt(net, {0, 0}), net.nodes().front(), false,
                            LinkDefaults{1, 1, 1, 1});
    });
    const std::string before = exactDump(doc.network());
    SnapshotHistoryTestAccess::damageNewestUndo(doc.history());
    view.clear();
    doc.OnEditUndo();
    EXPECT_EQ(exactDump(doc.network()), before) << "no link dropped, nothing half restored";
    EXPECT_EQ(doc.undoDepth(), 2u);
    EXPECT_FALSE(doc.canRedo());
    EXPECT_TRUE(view.hints.empty());
    ASSERT_FALSE(prompter.asked.empty());
    EXPECT_NE(prompter.asked.back().text.find("Cannot undo"), std::string::npos);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(DocumentTest, AnEditThatWouldOverflowALengthIsRefusedAndUndone) {
    doc.edit("Edit", [](Network& net) {
        Node* a = createNodeAt(net, {-3e38f, 0});
        Node* b = createNodeAt(net, {1, 0});
        return connectNodes(net, a, b, false, LinkDefaults{1, 1, 1, 1});
    });
    const std::string before = exactDump(doc.network());
    ASSERT_TRUE(doc.OnSaveDocument(dir.file("far.txt")));
    view.clear();
    // As a drag or a nudge of node 2 far to the east would.
    EXPECT_FALSE(doc.edit("Edit", [](Network& net) {
        moveNodes({net.nodes()[1]}, WorldPoint{3e38f, 0});
        return true;
    }));
    EXPECT_EQ(exactDump(doc.network()), before);
    EXPECT_EQ(doc.undoDepth(), 1u);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(view.hints, std::vector<ChangeKind>{ChangeKind::NetworkReplaced});
    ASSERT_FALSE(prompter.asked.empty());
    EXPECT_NE(prompter.asked.back().text.find("link 1"), std::string::npos)
        << prompter.asked.back().text;

    // Nothing that holds such a number is ever written.
    Network& net = doc.network();
    net.nodes()[1]->setX(3e38f);
    EXPECT_FALSE(doc.OnSaveDocument(dir.file("far.txt")));
    EXPECT_NE(doc.lastError().find("link 1"), std::string::npos);
    CVantryDoc reopened;
    EXPECT_TRUE(reopened.OnOpenDocument(dir.file("far.txt"))) << reopened.lastError();
}

// A picture is named relative to the network's file: found whatever the current folder is, and
// named from its new folder by a save elsewhere.
TEST_F(DocumentTest, APictureIsFoundBesideTheNetworkAndSavingElsewhereStillNamesIt) {
    std::filesystem::create_directories(dir.file("a/maps"));
    std::filesystem::create_directories(dir.file("b/deeper"));
    spit(dir.file("a/maps/Area.bmp"), solidBmp(64, 48, 10, 20, 30));
    spit(dir.file("a/net.txt"), "KX101\nEndNodes\nEndLinks\nmaps\\Area.bmp\n1 0 0 0.5\n");
    const std::pair<const char*, const char*> saves[] = {{"a/same.txt", "\nmaps\\Area.bmp\n"},
                                                         {"b/net.txt", "\n..\\a\\maps\\Area.bmp\n"},
                                                         {"b/deeper/net.xls", nullptr},
                                                         {"a/maps/inside.txt", "\nArea.bmp\n"}};
    ASSERT_TRUE(doc.OnOpenDocument(dir.file("a/net.txt"))) << doc.lastError();
    EXPECT_TRUE(doc.background().loaded());
    EXPECT_EQ(doc.pixelsPerMile(), 128);
    for (const auto& [name, storedLine] : saves) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(doc.OnSaveDocument(dir.file(name))) << doc.lastError();
        if (storedLine) {
            EXPECT_NE(slurp(dir.file(name)).find(storedLine), std::string::npos)
                << slurp(dir.file(name));
        }
        EXPECT_EQ(doc.network().bitmapPath(), "maps\\Area.bmp") << "the network keeps its own";
        CVantryDoc copy(&prompter);
        ASSERT_TRUE(copy.OnOpenDocument(dir.file(name))) << copy.lastError();
        EXPECT_TRUE(copy.background().loaded()) << copy.network().bitmapPath();
    }
    EXPECT_TRUE(prompter.asked.empty());

    // The Load Bitmap dialog opens the same picture, whatever the current folder is.
    doc.OnLoadBitmap();
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text, dir.file("a/maps/Area.bmp"));

    // A missing picture is told, and its name kept for the next save.
    std::filesystem::remove(dir.file("a/maps/Area.bmp"));
    CVantryDoc missing(&prompter);
    ASSERT_TRUE(missing.OnOpenDocument(dir.file("a/net.txt")));
    EXPECT_FALSE(missing.background().loaded());
    EXPECT_EQ(missing.network().bitmapPath(), "maps\\Area.bmp");
    ASSERT_EQ(prompter.asked.size(), 2u);
    EXPECT_EQ(prompter.asked[1].text,
              "Cannot read \"" + dir.file("a/maps/Area.bmp") + "\".\nFile Not Found.\n");
}

TEST_F(DocumentTest, ARelativeNameMeansTheFolderItWasGivenIn) {
    std::filesystem::create_directories(dir.file("a"));
    std::filesystem::create_directories(dir.file("b"));
    spit(dir.file("a/net.txt"), kExample);
    spit(dir.file("b/net.txt"), "other");
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.file("a"));
    const bool opened = doc.OnOpenDocument("net.txt");
    doc.SetPathName("net.txt");
    std::filesystem::current_path(dir.file("b"));
    addNodeAt(9.0f);
    const bool saved = doc.OnFileSave();
    std::filesystem::current_path(here);
    ASSERT_TRUE(opened && saved) << doc.lastError();
    EXPECT_EQ(doc.GetPathName(), dir.file("a/net.txt"));
    EXPECT_NE(slurp(dir.file("a/net.txt")).find("9.000 0.000"), std::string::npos);
    EXPECT_EQ(slurp(dir.file("b/net.txt")), "other");
}

// Load Bitmap stores the picture relative to the network's folder and is one step; a PNG is
// shown with the same pixels as the bitmap of the same picture.
TEST_F(DocumentTest, LoadBitmapPlacesThePictureAndAPngReopensAsItsBitmapDoes) {
    std::filesystem::create_directories(dir.file("maps"));
    const QImage picture = patternPicture(1000, 480);
    ASSERT_TRUE(picture.save(QString::fromStdString(dir.file("maps/wide.png")), "PNG"));
    ASSERT_TRUE(picture.save(QString::fromStdString(dir.file("maps/wide.bmp")), "BMP"));
    prompter.paths.push_back(dir.file("plan.txt"));
    ASSERT_TRUE(doc.DoSave(std::nullopt));
    prompter.bitmaps.push_back(PictureChoice{.path = dir.file("maps/wide.png"),
                                             .worldWidth = 2.9f,
                                             .left = 1.0f,
                                             .bottom = 2.0f,
                                             .ratio = 345,
                                             .height = 480});
    view.clear();
    doc.OnLoadBitmap();
    EXPECT_EQ(doc.network().bitmapPath(), "maps\\wide.png");
    const WorldRect r = doc.network().bitmapRect();
    EXPECT_FLOAT_EQ(r.right, 3.9f);
    EXPECT_FLOAT_EQ(r.top, 2.0f + 480.0f / 345.0f);
    EXPECT_EQ(doc.pixelsPerMile(), 344) << "cut, where the dialog rounds";
    EXPECT_EQ(view.hints,
              (std::vector<ChangeKind>{ChangeKind::Redraw, ChangeKind::BackgroundChanged}));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.undoDepth(), 1u);
    ASSERT_TRUE(doc.OnFileSave());

    CVantryDoc bitmap;
    bitmap.loadBackground("maps\\wide.bmp", doc.network().bitmapRect(), dir.file("plan.txt"));
    CVantryDoc reopened(&prompter);
    ASSERT_TRUE(reopened.OnOpenDocument(dir.file("plan.txt"))) << reopened.lastError();
    EXPECT_EQ(reopened.network().bitmapPath(), "maps\\wide.png");
    ASSERT_TRUE(reopened.background().loaded());
    EXPECT_EQ(reopened.background().width, 1000);
    EXPECT_EQ(reopened.background().height, 480);
    EXPECT_TRUE(reopened.background().pixels == bitmap.background().pixels);
    EXPECT_EQ(reopened.pixelsPerMile(), bitmap.pixelsPerMile());
}

TEST_F(DocumentTest, LoadBitmapKeepsAPicturesHeightAndAnUntouchedStoredPath) {
    // Fewer pixels than miles: the rounded ratio is 0, and the picture's proportions place it.
    spit(dir.file("small.bmp"), solidBmp(640, 480, 0, 0, 0));
    prompter.bitmaps.push_back(PictureChoice{.path = dir.file("small.bmp"),
                                             .worldWidth = 2000.0f,
                                             .bottom = 1.0f,
                                             .width = 640,
                                             .height = 480});
    doc.OnLoadBitmap();
    EXPECT_FLOAT_EQ(doc.network().bitmapRect().top, 1501.0f);

    // A network never saved keeps a relative path it was given when the user leaves it alone.
    doc.network().setBitmap("small.bmp", WorldRect{3.0f, 0.0f, 0.0f, 4.0f});
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    prompter.asked.clear();
    prompter.bitmaps.push_back(PictureChoice{
        .path = "small.bmp", .worldWidth = 4.0f, .ratio = 160, .width = 640, .height = 480});
    doc.OnLoadBitmap();
    std::filesystem::current_path(here);
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text, "small.bmp") << "the dialog got the path as stored";
    EXPECT_EQ(doc.network().bitmapPath(), "small.bmp");
    EXPECT_TRUE(doc.background().loaded());
}

TEST_F(DocumentTest, LoadTigerDataTellsTheViewsAndRefusesOtherNames) {
    const std::string data = std::string(VANTRY_TEST_DATA) + "/tiger/";
    prompter.paths.push_back(data + "TGR99001.RT2");
    doc.OnLoadTigerData();
    ASSERT_EQ(prompter.asked.size(), 2u);
    EXPECT_EQ(prompter.asked[0].text, roadDataFileFilter());
    // Other names are taken for street data; a record file is not that either.
    EXPECT_EQ(prompter.asked[1].text.substr(0, 42), "Unable to Load Requested Tiger Data File\n\n");
    EXPECT_NE(prompter.asked[1].text.find("TGR99001.RT2"), std::string::npos);
    EXPECT_EQ(prompter.asked[1].icon, Prompter::Icon::Stop);
    EXPECT_FALSE(doc.tiger().hasChains());
    // A record file that holds no records says so.
    spit(dir.file("passwd.RT1"), "root:x:0:0:root:/root:/bin/bash\n");
    spit(dir.file("passwd.RT2"), "root:x:0:0:root:/root:/bin/bash\n");
    prompter.paths.push_back(dir.file("passwd.RT1"));
    doc.OnLoadTigerData();
    ASSERT_EQ(prompter.asked.size(), 4u);
    EXPECT_EQ(prompter.asked[3].text, dir.file("passwd.RT1") + " holds no TIGER/Line records");
    EXPECT_FALSE(doc.tiger().hasChains());

    prompter.paths.push_back(data + "TGR99001.RT1");
    view.clear();
    doc.OnLoadTigerData();
    EXPECT_TRUE(doc.tiger().hasChains());
    EXPECT_EQ(view.hints, std::vector<ChangeKind>{ChangeKind::StreetsLoaded});
    EXPECT_FALSE(doc.IsModified()) << "TIGER/Line data is not part of the network";
    EXPECT_FALSE(doc.canUndo());
}

TEST_F(DocumentTest, LoadTigerDataTakesStreetDataAskingForTheLayerAndMayBeCancelled) {
    const std::string path = dir.file("two.geojson");
    spit(path, R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{},
        "geometry":{"type":"LineString","coordinates":[[-84.40,33.75],[-84.39,33.75]]}}]})");
    prompter.paths.push_back(path);
    prompter.streetLoads.push_back(StreetLoadChoice{});
    prompter.cancelAt = 0.5;
    doc.OnLoadTigerData();
    ASSERT_EQ(prompter.asked.size(), 3u);
    EXPECT_EQ(prompter.asked[2].kind, "progress");
    EXPECT_FALSE(doc.tiger().hasChains()) << "cancelled";
    EXPECT_TRUE(view.hints.empty());

    // Two layers of lines over the same file: the user is asked which, and may decline.
    const auto layer = [](const std::string& name) {
        return R"(<OGRVRTLayer name=")" + name +
               R"("><SrcDataSource relativeToVRT="1">two.geojson</SrcDataSource>)"
               R"(<SrcLayer>two</SrcLayer><GeometryType>wkbLineString</GeometryType></OGRVRTLayer>)";
    };
    spit(dir.file("both.vrt"),
         "<OGRVRTDataSource>" + layer("streets") + layer("rails") + "</OGRVRTDataSource>");
    prompter.cancelAt = 2.0;
    prompter.asked.clear();
    prompter.paths.push_back(dir.file("both.vrt"));
    prompter.items.push_back(std::nullopt);
    doc.OnLoadTigerData();
    ASSERT_EQ(prompter.asked.size(), 2u);
    EXPECT_EQ(prompter.asked[1].text, "Which layer of lines shall be loaded?|streets|rails");
    EXPECT_FALSE(doc.tiger().hasChains());

    prompter.paths.push_back(dir.file("both.vrt"));
    prompter.items.push_back("rails");
    prompter.streetLoads.push_back(StreetLoadChoice{});
    doc.OnLoadTigerData();
    EXPECT_EQ(doc.tiger().store().chains().size(), 1u);
    EXPECT_EQ(view.hints, std::vector<ChangeKind>{ChangeKind::StreetsLoaded});
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(prompter.unexpected, 0);
}

TEST_F(DocumentTest, StreetDataAsksTheRoadClassesAndTheSpeedUnitAndRemembersTheClasses) {
    settings->roadClasses.value.clear();
    // A bare 80 is 80 mph in a layer that does not look like OpenStreetMap's, unless the user
    // says it is in km/h.
    const std::string path = dir.file("speeds.geojson");
    spit(path, R"({"type":"FeatureCollection","features":[{"type":"Feature",
        "properties":{"maxspeed":"80"},
        "geometry":{"type":"LineString","coordinates":[[-84.40,33.75],[-84.39,33.75]]}}]})");
    const std::string offered = RoadClassChoice().text() + "|unit";
    prompter.paths.push_back(path);
    prompter.streetLoads.push_back(std::nullopt);
    doc.OnLoadTigerData();
    ASSERT_EQ(prompter.asked.size(), 2u);
    EXPECT_EQ(prompter.asked[1].kind, "streets");
    EXPECT_EQ(prompter.asked[1].text, offered) << "the default classes until the user chooses";
    EXPECT_FALSE(doc.tiger().hasChains()) << "cancelled";
    EXPECT_TRUE(view.hints.empty());
    EXPECT_EQ(settings->roadClasses.value, "");

    StreetLoadChoice chosen;
    chosen.classes = RoadClassChoice({"primary", "motorway"});
    chosen.speedUnit = SpeedUnit::KilometresPerHour;
    prompter.paths.push_back(path);
    prompter.streetLoads.push_back(chosen);
    doc.OnLoadTigerData();
    ASSERT_EQ(doc.tiger().store().chains().size(), 1u);
    EXPECT_EQ(doc.tiger().store().chains().begin()->second.speedForward, 50);
    EXPECT_EQ(settings->roadClasses.value, "motorway,primary");
    EXPECT_EQ(CVantryDoc::populateOptions().classes, chosen.classes);

    // OpenStreetMap's own files say their unit; the remembered classes are offered.
    const std::string osm = dir.file("one.osm");
    spit(osm, R"(<?xml version="1.0" encoding="UTF-8"?><osm version="0.6">
        <node id="1" version="1" lat="33.75" lon="-84.40"/>
        <node id="2" version="1" lat="33.75" lon="-84.39"/>
        <way id="3" version="1"><nd ref="1"/><nd ref="2"/><tag k="highway" v="primary"/></way>
        </osm>)");
    prompter.asked.clear();
    prompter.paths.push_back(osm);
    prompter.streetLoads.push_back(chosen);
    doc.OnLoadTigerData();
    ASSERT_GE(prompter.asked.size(), 2u);
    EXPECT_EQ(prompter.asked[1].text, "motorway,primary");
    EXPECT_EQ(doc.tiger().store().chains().size(), 2u);

    // Without a dialog the unit is whatever the caller says.
    CVantryDoc batch;
    ASSERT_TRUE(batch.loadStreetData(path, "")) << batch.lastError();
    EXPECT_EQ(batch.tiger().store().chains().begin()->second.speedForward, 80);
    EXPECT_EQ(prompter.unexpected, 0);
}

TEST_F(DocumentTest, PopulateOptionsComeFromThePreferencesWhateverTheStoredTextHolds) {
    settings->defaultNumLanes.value = 3;
    settings->defaultCapacity.value = 1800;
    settings->defaultFFSpeed.value = 45;
    settings->defaultJamDensity.value = 210;
    settings->precision.value = 5;
    settings->roadClasses.value = " Motorway , trunk_link";
    settings->roadClassDefaults.value = "motorway=70/3/2300/200;trunk=fast/2/2000/190;x=1/1/1/1";
    PopulateOptions options = CVantryDoc::populateOptions();
    const LinkDefaults& link = options.linkDefaults;
    EXPECT_EQ((std::array{link.numLanes, link.capacity, link.ffSpeed, link.jamDensity}),
              (std::array{3, 1800, 45, 210}));
    EXPECT_EQ(options.precision, 5);
    EXPECT_EQ(options.classes, RoadClassChoice({"motorway", "trunk_link"}));
    EXPECT_EQ(options.classDefaults.of("motorway"), (RoadClassDefaults{70, 3, 2300, 200}));
    EXPECT_EQ(options.classDefaults.of("trunk"), RoadClassDefaultsTable().of("trunk"))
        << "what cannot be read keeps the built-in values";

    for (const char* unreadable : {"", "motorway,cars", ",;"}) {
        settings->roadClasses.value = unreadable;
        EXPECT_EQ(CVantryDoc::populateOptions().classes, RoadClassChoice()) << unreadable;
    }
    settings->roadClassDefaults.value = "everything=wrong";
    EXPECT_EQ(CVantryDoc::populateOptions().classDefaults, RoadClassDefaultsTable());
}

TEST(DocumentWithoutSettings, SavingAndNewLinksNeedTheSettingsObject) {
    CVantryDoc doc;
    EXPECT_THROW(doc.OnSaveDocument("/tmp/never-written.txt"),
                 SingletonPtr<UserDefinedSettings>::AccessError);
    EXPECT_THROW(CVantryDoc::linkDefaults(), SingletonPtr<UserDefinedSettings>::AccessError);
}

} // namespace

} // namespace vantry
