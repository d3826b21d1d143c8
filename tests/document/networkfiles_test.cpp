// Reading and writing network files as the document does: which format a name takes, what the
// user is asked before a file marked read-only is replaced, and memory that runs out while a
// file is read; the kinds of road data and how their names are told apart.

#include "document/networkfiles.h"
#include "document/roadsources.h"
#include "model/model_test_support.h"
#include "model/network.h"
#include "support/childprocess.h"
#include "support/scriptedprompter.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <new>

#include <sys/stat.h>
#include <unistd.h>

namespace vantry {

namespace {

namespace fs = std::filesystem;

void fillSmall(Network& net) {
    Node* a = model_test::addNodeAt(net, 0.0f, 0.0f);
    Node* b = model_test::addNodeAt(net, 1.0f, 2.0f);
    model_test::addLinkBetween(net, a, b);
}

std::string upperCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Each format writes what its own reader reads back, under the extension its entry names, and
// the dialogs offer every format. (Names of no format, and other cases, are refused as the
// document saves: DocumentTest.UnrecognisedExtensionsAreRefusedWithTheSupportedOnesNamed.)
TEST(NetworkFiles, EachFormatReadsBackWhatItWroteAndTheDialogsOfferIt) {
    TestDir dir;
    Network net;
    fillSmall(net);
    for (const NetworkFileFormat& format : networkFileFormats()) {
        SCOPED_TRACE(format.name);
        const std::string path = dir.file(std::string("net") + format.extension);
        std::string error, warning;
        ASSERT_TRUE(writeNetworkFile(path, net, nullptr, error)) << error;
        EXPECT_EQ(networkFormatOf(path), format.format);
        Network back;
        ASSERT_TRUE(readNetworkFile(path, back, nullptr, error, warning)) << error;
        EXPECT_EQ(back.toText(), net.toText());
        EXPECT_NE(networkFileFilter().find(std::string("*") + format.extension), std::string::npos);
    }
    EXPECT_EQ(networkFileFormatOf(dir.file("net.csv")), nullptr);
    EXPECT_EQ(networkFileFormatOf(std::string(dir.file("net")) + defaultNetworkExtension()),
              &networkFileFormats().front());
}

// A name made from each of the Load TIGER Data dialog's patterns is taken for the kind that
// offers it, in any case, so that what the dialog lists is read by the right reader.
TEST(RoadSources, EveryNameTheDialogOffersIsTakenForItsKind) {
    for (const RoadDataKind& kind : roadDataKinds())
        for (const std::string& pattern : kind.patterns) {
            SCOPED_TRACE(pattern);
            EXPECT_NE(roadDataFileFilter().find(pattern), std::string::npos);
            std::string name = "/data/roads";
            for (const char c : pattern.substr(1))
                name += c == '?' ? 'T' : c;
            for (const std::string& path : {name, upperCase(name)}) {
                EXPECT_EQ(roadDataKindOf(path), &kind) << path;
                EXPECT_EQ(roadSourceOf(path), kind.source) << path;
            }
        }
    EXPECT_EQ(roadSourceOf("TGR01001.RT1"), RoadSource::RecordFiles);
    EXPECT_EQ(roadSourceOf("TGR01001.RT2"), RoadSource::StreetData) << "only type 1 files load";
    EXPECT_EQ(roadSourceOf("/data.1/roads.kml"), RoadSource::StreetData);
    EXPECT_EQ(roadDataKindOf("/data/.osm"), nullptr) << "a name, not only an extension";
}

TEST(NetworkFiles, AFileMarkedReadOnlyIsReplacedOnlyWhenTheUserSaysYes) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root may write a file without write permission";
    TestDir dir;
    Network net;
    fillSmall(net);
    for (const char* name : {"net.txt", "net.xls"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        std::string error;
        ASSERT_TRUE(writeNetworkFile(path, Network(), nullptr, error)) << error;
        ASSERT_EQ(chmod(path.c_str(), 0444), 0);
        const std::string before = slurp(path);

        // Without anyone to ask, and when the user says No, the file stays as it was.
        EXPECT_FALSE(writeNetworkFile(path, net, nullptr, error));
        EXPECT_EQ(error, "Cannot save \"" + path + "\": it is read-only.");
        ScriptedPrompter prompter;
        prompter.yesNo = {false, true};
        EXPECT_FALSE(writeNetworkFile(path, net, &prompter, error));
        EXPECT_EQ(error, "Cannot save \"" + path + "\": it is read-only.");
        EXPECT_EQ(slurp(path), before);

        ASSERT_TRUE(writeNetworkFile(path, net, &prompter, error)) << error;
        ASSERT_EQ(prompter.asked.size(), 2u);
        for (const auto& asked : prompter.asked) {
            EXPECT_EQ(asked.kind, "yesno");
            EXPECT_EQ(asked.text, readOnlyQuestion(path));
        }
        EXPECT_NE(readOnlyQuestion(path).find("\"" + path + "\" is read-only"), std::string::npos);
        Network back;
        std::string warning;
        ASSERT_TRUE(readNetworkFile(path, back, nullptr, error, warning)) << error;
        EXPECT_EQ(back.links().size(), 1u);
        EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        EXPECT_EQ(prompter.unexpected, 0);
    }
}

TEST(NetworkFiles, MemoryThatRunsOutWhileReadingFailsTheFileWithTheReason) {
    // Four million nodes in 16 MB of text take far more than the 64 MB the reader is left.
    TestDir dir;
    const std::string path = dir.file("many.txt");
    std::string text = std::string(kFormatTag) + "\n";
    for (int i = 0; i < 4'000'000; ++i)
        text += "0 0\n";
    text += std::string(kEndNodesMarker) + "\n";
    spit(path, text);
    text.clear();
    text.shrink_to_fit();
    // 1: read; 2: memory ran out past the reader; 3: the wrong message.
    const int outcome = inChildWithMemoryLeft(std::size_t{64} << 20, [&] {
        try {
            Network net;
            std::string error, warning;
            if (readNetworkFile(path, net, nullptr, error, warning))
                return 1;
            return error == "Cannot open \"" + path +
                                   "\": there is not enough memory to read it." &&
                           net.nodes().empty()
                       ? 0
                       : 3;
        } catch (const std::bad_alloc&) {
            return 2;
        }
    });
    if (outcome == -1)
        GTEST_SKIP() << "cannot hold a process to a memory limit here";
    EXPECT_EQ(outcome, 0);
}

} // namespace

} // namespace vantry
