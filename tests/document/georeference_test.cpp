#include "document/recovery.h"
#include "document/vantrydoc.h"
#include "model/editing.h"
#include "model/model_test_support.h"
#include "model/snapshot.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/scriptedprompter.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <string>

namespace vantry {

namespace {

using model_test::exactDump;

const Georeference kManhattan{"EPSG:32618", 583960.0, 4507523.0};

class DocumentGeoreference : public ::testing::Test {
protected:
    DocumentGeoreference() { settings->persistOnExit = false; }

    void place(const Georeference& g) {
        doc.edit("Place Network", [&g](Network& net) { return net.setGeoreference(g); });
    }
    void addNode(float x) {
        doc.edit("Add Node", [x](Network& net) {
            createNodeAt(net, {x, 0.5f});
            return true;
        });
    }

    SingletonPtr<UserDefinedSettings> settings;
    TestDir dir;
    ScriptedPrompter prompter;
    CVantryDoc doc{&prompter};
};

TEST_F(DocumentGeoreference, UndoAndRedoTakeThePlaceAwayAndGiveItBack) {
    addNode(0.25f);
    place(kManhattan);
    addNode(0.75f);
    EXPECT_EQ(doc.undoName(), "Add Node");

    doc.OnEditUndo();
    EXPECT_EQ(doc.network().georeference(), kManhattan) << "an undo that is not of the place";
    EXPECT_EQ(doc.network().nodes().size(), 1u);
    doc.OnEditUndo();
    EXPECT_FALSE(doc.network().georeference().placed());
    doc.OnEditRedo();
    EXPECT_EQ(doc.network().georeference(), kManhattan);
    doc.OnEditRedo();
    EXPECT_EQ(doc.network().nodes().size(), 2u);
    EXPECT_EQ(doc.network().georeference(), kManhattan);
}

TEST_F(DocumentGeoreference, ASavedTextFileAndARecoveryFileKeepIt) {
    addNode(0.25f);
    place(kManhattan);
    ASSERT_TRUE(doc.DoSave(dir.file("net.txt"))) << doc.lastError();
    CVantryDoc reopened(&prompter);
    ASSERT_TRUE(reopened.OnOpenDocument(dir.file("net.txt"))) << reopened.lastError();
    EXPECT_EQ(reopened.network().georeference(), kManhattan);

    addNode(0.5f);
    RecoveryStore store(dir.file("recovery"));
    std::string why;
    ASSERT_TRUE(store.open(why)) << why;
    ASSERT_TRUE(store.update(doc, why)) << why;
    RecoveryRecord record;
    ASSERT_TRUE(decodeRecoveryFile(slurp(store.fileOf(doc)), record, why)) << why;
    Network recovered;
    ASSERT_TRUE(decodeSnapshot(record.snapshot, recovered, &why)) << why;
    EXPECT_EQ(exactDump(recovered), exactDump(doc.network()));
    EXPECT_EQ(recovered.georeference(), kManhattan);
    store.forget(doc);
}

TEST_F(DocumentGeoreference, ARecoveryFileOfTheVersionBeforeReadsAsUnplaced) {
    // The recovery file's own fields did not change; the network inside it is a snapshot the
    // version before georeferences wrote.
    RecoveryRecord old;
    old.originalPath = dir.file("net.txt");
    old.title = "net.txt";
    old.format = NetworkFormat::Text;
    old.snapshot = slurp(VANTRY_TEST_DATA "/model/unplaced-before-georeference.snapshot");
    ASSERT_FALSE(old.snapshot.empty());
    RecoveryRecord back;
    std::string why;
    ASSERT_TRUE(decodeRecoveryFile(encodeRecoveryFile(old), back, why)) << why;
    Network recovered;
    ASSERT_TRUE(decodeSnapshot(back.snapshot, recovered, &why)) << why;
    EXPECT_EQ(recovered.links().size(), 2u);
    EXPECT_FALSE(recovered.georeference().placed());
}

} // namespace

} // namespace vantry
