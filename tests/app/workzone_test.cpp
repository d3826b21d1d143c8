#include "app/editortest.h"
#include "app/mainframe.h"
#include "app/vantryapp.h"
#include "app/workzonecommands.h"
#include "dialogs/integeredit.h"
#include "dialogs/workzonedlg.h"
#include "document/vantrydoc.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/scriptedprompter.h"
#include "support/testdir.h"
#include "support/toolkit.h"
#include "view/vantryview.h"

#include <QAction>
#include <QSettings>

#include <gtest/gtest.h>

namespace vantry {

namespace {

// The bundled corridor before its work zone was marked: links 4 and 5 are mainline like those
// around them, and the eastbound frontage road is mainline too.
std::string unmarkedCorridor() {
    std::string text = slurp(std::string(VANTRY_EXAMPLES) + "/corridor-work-zone.txt");
    const std::pair<std::string, std::string> edits[] = {
        {"4 5 2 1600 0.500 45 190 I WZ", "4 5 3 2000 0.500 65 190 I M"},
        {"5 6 2 1600 0.500 45 190 I WZ", "5 6 3 2000 0.500 65 190 I M"},
        {" I D1 Frontage Rd detour EB", " I M Frontage Rd EB"}};
    for (const auto& [from, to] : edits)
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from))
            text.replace(at, from.size(), to);
    return text;
}

class WorkZoneTest : public EditorTest {
protected:
    WorkZoneTest() {
        spit(dir.file("corridor.txt"), unmarkedCorridor());
        start({QString::fromStdString(dir.file("corridor.txt"))});
    }

    void select(const std::vector<int>& ids) {
        view->selection().clear();
        for (int id : ids)
            view->selection().addLink(link(id));
        app.updateCommandStates();
    }
    bool enabled() { return app.mainFrame()->action(ID_NETWORK_WORK_ZONE)->isEnabled(); }
    // "type lanes capacity" of a link.
    std::string state(int id) {
        const char* types[] = {"M", "WZ", "D1", "D2", "R", "-"};
        const Link* l = link(id);
        return std::string(types[static_cast<int>(l->type())]) + " " +
               std::to_string(l->numLanes()) + " " + std::to_string(l->capacity());
    }
};

TEST_F(WorkZoneTest, TheDialogsChoiceMarksRunAndFrontageDetourInOneStepThatUndoesExactly) {
    ASSERT_EQ(state(4), "M 3 2000");
    ASSERT_EQ(state(17), "M 1 900");
    const std::string before = doc->network().toText();
    const std::size_t depth = doc->undoDepth();
    std::vector<int> offered;
    app.workZones().setChooser(
        [&](const Network& network,
            const std::vector<Link*>& run) -> std::optional<WorkZoneCommands::Choice> {
            for (const Link* l : run)
                offered.push_back(l->id());
            CWorkZoneDlg dialog(network, run);
            child<CIntegerEdit>(dialog, "openLanes")->setText(QStringLiteral("1"));
            child<CIntegerEdit>(dialog, "capacity")->setText(QStringLiteral("1500"));
            dialog.accept();
            if (dialog.result() != QDialog::Accepted)
                return std::nullopt;
            return WorkZoneCommands::Choice{dialog.values(), dialog.chosenDetours()};
        });

    select({});
    EXPECT_FALSE(enabled()) << "nothing is selected";
    select({5, 4});
    EXPECT_TRUE(enabled());
    app.route(ID_NETWORK_WORK_ZONE);
    EXPECT_EQ(offered, (std::vector<int>{4, 5})) << "the run is given head to tail";
    EXPECT_TRUE(prompter.asked.empty());

    EXPECT_EQ(state(4), "WZ 1 1500");
    EXPECT_EQ(state(5), "WZ 1 1500");
    // The frontage road between the exit at node 3 and the entrance to node 7: its ramps stay
    // ramps, the road between them is Detour 1; the westbound road is no part of it.
    EXPECT_EQ(state(25), "R 1 1200");
    for (int id : {17, 19, 21, 23})
        EXPECT_EQ(state(id), "D1 1 900") << "link " << id;
    EXPECT_EQ(state(26), "R 1 1200");
    EXPECT_EQ(state(18), "D2 1 900");
    EXPECT_EQ(state(3), "M 3 2000");
    EXPECT_EQ(doc->undoName(), "Work Zone");
    EXPECT_EQ(doc->undoDepth(), depth + 1);
    EXPECT_EQ(view->selection().linkCount(), 2u) << "the selection is kept";

    doc->OnEditUndo();
    EXPECT_EQ(doc->network().toText(), before);
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(WorkZoneTest, LinksThatAreNotOneRunAreRefusedWithWhyAndNothingChanges) {
    int asked = 0;
    app.workZones().setChooser(
        [&](const Network&, const std::vector<Link*>&) -> std::optional<WorkZoneCommands::Choice> {
            ++asked;
            return WorkZoneCommands::Choice{{1, 1500}, {}};
        });
    const std::string before = doc->network().toText();
    // A gap (link 6 does not start where 4 ends), and two links out of one node.
    const std::pair<std::vector<int>, std::string> cases[] = {
        {{4, 6}, "does not follow on from link"}, {{3, 25}, "Links 3 and 25 both start at node 3"}};
    for (const auto& [ids, why] : cases) {
        prompter.asked.clear();
        select(ids);
        app.route(ID_NETWORK_WORK_ZONE);
        ASSERT_EQ(prompter.asked.size(), 1u);
        EXPECT_EQ(prompter.asked[0].kind, "message");
        EXPECT_NE(prompter.asked[0].text.find("A work zone is a run of links"), std::string::npos);
        EXPECT_NE(prompter.asked[0].text.find(why), std::string::npos) << prompter.asked[0].text;
    }
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(doc->network().toText(), before);
    EXPECT_FALSE(doc->IsModified());

    // Cancelled: no undo step either.
    app.workZones().setChooser(
        [](const Network&, const std::vector<Link*>&) { return std::nullopt; });
    select({4});
    app.route(ID_NETWORK_WORK_ZONE);
    EXPECT_FALSE(doc->canUndo());
}

} // namespace

} // namespace vantry
