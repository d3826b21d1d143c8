#include "app/editortest.h"
#include "app/exchangecommands.h"
#include "app/mainframe.h"
#include "app/vantryapp.h"
#include "document/vantrydoc.h"
#include "exchange/exchangeformats.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/scriptedprompter.h"
#include "support/testdir.h"
#include "support/toolkit.h"
#include "view/vantryview.h"

#include <QSettings>
#include <QStatusBar>

#include <filesystem>

#include <gtest/gtest.h>

namespace vantry {

namespace {

const std::string kSample = std::string(VANTRY_EXAMPLES) + "/corridor-work-zone.txt";

// The application with scripted answers, exporting and importing through its File menu.
class ExchangeCommandsTest : public EditorTest {
protected:
    ExchangeCommandsTest() {
        // The mapping the import chose, with miles and mph where the source says nothing.
        app.exchange().setMappingChooser([this](const ImportSource& source) {
            offered = source;
            ImportChoices c;
            c.mapping = source.mapping;
            if (source.lengthUnit != LengthUnit::Unknown)
                c.lengthUnit = source.lengthUnit;
            if (source.speedUnit != SpeedUnitOfSource::Unknown)
                c.speedUnit = source.speedUnit;
            return std::optional<ImportChoices>(c);
        });
    }
    QString status() const { return app.mainFrame()->statusBar()->currentMessage(); }
    CVantryDoc& active() const { return *app.activeView()->GetDocument(); }

    ImportSource offered;
};

TEST_F(ExchangeCommandsTest, AnExportedFolderImportsIntoANewModifiedUntitledDocument) {
    ASSERT_TRUE(app.InitInstance({QString::fromStdString(kSample)}, false));
    const std::size_t links = active().network().links().size();
    const std::size_t nodes = active().network().nodes().size();

    const std::string folder = dir.file("corridor");
    prompter.paths.push_back(folder);
    app.route(ID_FILE_EXPORT);
    ASSERT_EQ(prompter.asked.size(), 2u) << prompter.asked.back().text;
    EXPECT_EQ(prompter.asked[0].text.substr(0, prompter.asked[0].text.find('|')),
              std::filesystem::path(kSample).replace_extension(".gpkg").string())
        << "the network's own name, as a GeoPackage";
    EXPECT_EQ(prompter.asked[1].kind, "progress");
    EXPECT_EQ(status().toStdString(), "Exported " + std::to_string(links) + " links and " +
                                          std::to_string(nodes) + " nodes to " + folder + ".");
    ASSERT_TRUE(std::filesystem::is_regular_file(folder + "/link.csv"));

    // Any file of the folder stands for it.
    prompter.paths.push_back(folder + "/node.csv");
    app.route(ID_FILE_IMPORT);
    EXPECT_EQ(offered.path, folder);
    EXPECT_TRUE(offered.gmns);
    ASSERT_EQ(app.documents().size(), 2u);
    CVantryDoc& imported = active();
    EXPECT_NE(&imported, app.documents()[0].get());
    EXPECT_EQ(imported.network().links().size(), links);
    EXPECT_EQ(imported.network().nodes().size(), nodes);
    EXPECT_TRUE(imported.GetPathName().empty());
    EXPECT_EQ(imported.GetTitle(), "Network1");
    EXPECT_TRUE(imported.IsModified()) << "closing it asks to save";
    EXPECT_FALSE(imported.canUndo());
    EXPECT_TRUE(status().startsWith(QStringLiteral("Imported ")));
    EXPECT_EQ(prompter.unexpected, 0);
}

TEST_F(ExchangeCommandsTest, FailuresNameTheFileAndLeaveNothingBehind) {
    ASSERT_TRUE(app.InitInstance({QString::fromStdString(kSample)}, false));
    spit(dir.file("plain.txt"), "not a folder");
    const std::string blocked = dir.file("plain.txt/corridor.gpkg");
    prompter.paths.push_back(blocked);
    app.route(ID_FILE_EXPORT);
    ASSERT_EQ(prompter.asked.back().kind, "message");
    EXPECT_EQ(prompter.asked.back().icon, Prompter::Icon::Stop);
    EXPECT_NE(prompter.asked.back().text.find(blocked), std::string::npos)
        << prompter.asked.back().text;

    // A GMNS folder without its nodes: nothing is offered and no document made.
    std::filesystem::create_directories(dir.file("half"));
    spit(dir.file("half/link.csv"), "link_id,from_node_id,to_node_id\n1,1,2\n");
    prompter.paths.push_back(dir.file("half/link.csv"));
    offered.path = "untouched";
    app.route(ID_FILE_IMPORT);
    EXPECT_EQ(offered.path, "untouched");
    EXPECT_EQ(app.documents().size(), 1u);
    ASSERT_EQ(prompter.asked.back().kind, "message");
    EXPECT_NE(prompter.asked.back().text.find(dir.file("half")), std::string::npos)
        << prompter.asked.back().text;

    // Cancelled in the progress dialog: no folder, and the status bar says so.
    prompter.cancelAt = 0.0;
    prompter.paths.push_back(dir.file("cancelled"));
    app.route(ID_FILE_EXPORT);
    EXPECT_FALSE(std::filesystem::exists(dir.file("cancelled")));
    EXPECT_EQ(status(), "Export cancelled: nothing was written.");
    EXPECT_EQ(prompter.unexpected, 0);
}

TEST(ExchangeFilters, EveryFormatIsOfferedAndAGmnsFolderStandsForItsFiles) {
    const std::string filter = ExchangeCommands::exportFilter();
    EXPECT_EQ(filter.rfind("GeoPackage (*.gpkg)|*.gpkg|", 0), 0u) << filter;
    for (const ExchangeFormatInfo& f : exchangeFormats())
        EXPECT_NE(filter.find(f.label), std::string::npos) << f.label;
    EXPECT_EQ(filter.substr(filter.size() - 2), "||");
    EXPECT_EQ(ExchangeCommands::importSourcePath("/d/net/Node.CSV"), "/d/net");
    EXPECT_EQ(ExchangeCommands::importSourcePath("/d/net/config.csv"), "/d/net");
    EXPECT_EQ(ExchangeCommands::importSourcePath("/d/net/link.csv"), "/d/net/link.csv");
    EXPECT_EQ(ExchangeCommands::importSourcePath("/d/roads.gpkg"), "/d/roads.gpkg");
}

} // namespace

} // namespace vantry
