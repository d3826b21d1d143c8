#include "support/childprocess.h"
#include "support/toolkit.h"
#include "view/clipboard.h"
#include "view/selection.h"

#include <QClipboard>
#include <QImage>
#include <QMimeData>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vantry {

namespace {

// A small network in the network file's format, its objects reached by their 1-based ids.
struct Sample {
    explicit Sample(const std::string& nodesAndLinks) {
        std::string why;
        EXPECT_TRUE(net.readText("KX101\n" + nodesAndLinks + "\n\n0 0 0 0\n", &why)) << why;
    }
    Node* node(int id) const { return net.nodes().at(static_cast<std::size_t>(id - 1)); }
    Link* link(int id) const { return net.links().at(static_cast<std::size_t>(id - 1)); }

    Network net;
};

// Nodes: 1 (0, 0), 2 (1.5, 0), 3 (12.3456789, -2), 4 (3, 4), 5 (1234567, 0.000125).
// Links: 1 = 1->2 Main St, 2 = 2->1 of type None without description, 3 = 3->4 with an explicit
// length and a description with spaces at both ends and inside.
struct StandardSample : Sample {
    StandardSample()
        : Sample("0 0\n1.5 0\n12.3456789 -2\n3 4\n1234567 0.000125\nEndNodes\n"
                 "1 2 2 1400 1.5 50 190 I M Main St\n"
                 "2 1 2 1400 1.5 50 190 O  \n"
                 "3 4 3 1800 7.25 65 200 O R   two  spaces \nEndLinks") {
        // The clipboard writes 6 significant digits whatever the network's own precision.
        net.setPrecision(1);
        EXPECT_TRUE(link(1)->hasAutomaticLength() && !link(3)->hasAutomaticLength());
    }
};

TEST(ClipboardCopy, IsTheFragmentOfTheSelection) {
    const StandardSample s;
    // The text for the nodes and links of these ids, selected in this order.
    const auto copied = [&](std::vector<int> nodes, std::vector<int> links) {
        Selection selection;
        for (int id : nodes)
            selection.addNode(s.node(id));
        for (int id : links)
            selection.addLink(s.link(id));
        return clipboardText(selection);
    };
    EXPECT_EQ(copied({}, {}), "EndNodes\nEndLinks\n");
    EXPECT_EQ(copied({}, {1}),
              "0 0\n1.5 0\nEndNodes\n1 2 2 1400 1.5 50 190 I M Main St\nEndLinks\n")
        << "a link without its nodes brings both ends";
    EXPECT_EQ(copied({4, 2}, {}), "3 4\n1.5 0\nEndNodes\nEndLinks\n") << "in selection order";
    EXPECT_EQ(copied({2}, {1, 2}), "1.5 0\n0 0\nEndNodes\n2 1 2 1400 1.5 50 190 I M Main St\n"
                                   "1 2 2 1400 1.5 50 190 O  \nEndLinks\n")
        << "a selected link end is written once, under its selected number";
    EXPECT_EQ(copied({3, 5}, {}), "12.3457 -2\n1.23457e+06 0.000125\nEndNodes\nEndLinks\n")
        << "six significant digits";
    EXPECT_EQ(copied({}, {3}),
              "12.3457 -2\n3 4\nEndNodes\n1 2 3 1800 7.25 65 200 O R   two  spaces \nEndLinks\n")
        << "an explicit length and a description with spaces";
}

// Every node's links as the network's link ids, to see that nothing stray was attached.
std::vector<std::vector<int>> attachments(const Network& net) {
    std::vector<std::vector<int>> out;
    for (const Node* n : net.nodes()) {
        std::vector<int> ids;
        for (const Link* l : n->links())
            ids.push_back(l->id());
        std::sort(ids.begin(), ids.end());
        out.push_back(ids);
    }
    return out;
}

void expectSameLink(const Link& pasted, const Link& original) {
    EXPECT_EQ(pasted.numLanes(), original.numLanes());
    EXPECT_EQ(pasted.capacity(), original.capacity());
    EXPECT_FLOAT_EQ(pasted.effectiveLength(), original.effectiveLength());
    EXPECT_EQ(pasted.hasAutomaticLength(), original.hasAutomaticLength());
    EXPECT_EQ(pasted.ffSpeed(), original.ffSpeed());
    EXPECT_EQ(pasted.jamDensity(), original.jamDensity());
    EXPECT_EQ(pasted.direction(), original.direction());
    EXPECT_EQ(pasted.type(), original.type());
    EXPECT_EQ(pasted.description(), original.description());
}

TEST(ClipboardPaste, RoundTripIntoAnotherNetworkAppendsCopiesOfTheSelection) {
    const StandardSample source;
    Selection selection;
    selection.addNode(source.node(5));
    for (int id : {1, 2, 3})
        selection.addLink(source.link(id));
    const std::string text = clipboardText(selection);

    Sample target("-5 -5\n0 0\nEndNodes\n1 2 1 1000 7.07107 30 150 I WZ old\nEndLinks");
    PastedObjects pasted;
    std::string why;
    ASSERT_TRUE(pasteClipboardText(target.net, text, pasted, &why)) << why;

    // Clipboard order: node 5, then 1 and 2 for link 1, then 3 and 4 for link 3, each position
    // rounded to 6 significant digits.
    const WorldPoint positions[] = {
        {1234570.0f, 0.000125f}, {0.0f, 0.0f}, {1.5f, 0.0f}, {12.3457f, -2.0f}, {3.0f, 4.0f}};
    ASSERT_EQ(pasted.nodes.size(), 5u);
    ASSERT_EQ(pasted.links.size(), 3u);
    ASSERT_EQ(target.net.nodes().size(), 7u);
    ASSERT_EQ(target.net.links().size(), 4u);
    for (std::size_t i = 0; i < pasted.nodes.size(); ++i) {
        const Node* n = pasted.nodes[i];
        EXPECT_EQ(n->id(), static_cast<int>(i) + 3);
        EXPECT_EQ(target.net.nodes()[i + 2], n);
        EXPECT_FLOAT_EQ(n->x(), positions[i].x);
        EXPECT_FLOAT_EQ(n->y(), positions[i].y);
    }
    for (std::size_t i = 0; i < pasted.links.size(); ++i) {
        const Link* l = pasted.links[i];
        EXPECT_EQ(l->id(), static_cast<int>(i) + 2);
        expectSameLink(*l, *source.link(static_cast<int>(i) + 1));
    }
    // Links join the pasted nodes only, and the existing objects are as they were.
    const std::size_t ends[3][2] = {{1, 2}, {2, 1}, {3, 4}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(pasted.links[i]->fromNode(), pasted.nodes[ends[i][0]]);
        EXPECT_EQ(pasted.links[i]->toNode(), pasted.nodes[ends[i][1]]);
    }
    EXPECT_EQ(attachments(target.net),
              (std::vector<std::vector<int>>{{1}, {1}, {}, {2, 3}, {2, 3}, {4}, {4}}));
    EXPECT_EQ(target.link(1)->description(), "old");

    // The bounds take in the pasted nodes.
    EXPECT_FLOAT_EQ(target.net.bounds().right, 1234570.0f);
    EXPECT_FLOAT_EQ(target.net.bounds().bottom, -5.0f);
}

TEST(ClipboardPaste, PastingTwiceAddsTwoIndependentCopies) {
    StandardSample source;
    Selection selection;
    selection.addLink(source.link(1));
    const std::string text = clipboardText(selection);

    PastedObjects first, second;
    Network& net = source.net;
    ASSERT_TRUE(pasteClipboardText(net, text, first));
    ASSERT_TRUE(pasteClipboardText(net, text, second));
    EXPECT_EQ(net.nodes().size(), 9u);
    EXPECT_EQ(net.links().size(), 5u);
    EXPECT_EQ(second.nodes[0]->id(), 8);
    EXPECT_EQ(second.links[0]->id(), 5);
    EXPECT_EQ(second.links[0]->fromNode(), second.nodes[0]);
    EXPECT_NE(first.nodes[0], second.nodes[0]);
    EXPECT_EQ(first.nodes[0]->position(), second.nodes[0]->position());
}

const char kPair[] = "0 0\n2 0\nEndNodes\n2 1 2 1400 2 50 190 O D1 back\nEndLinks\n";

// Texts that paste: how many objects, and the fragment they give when copied again.
TEST(ClipboardPaste, AcceptsTextsAndTheyCopyBackCanonically) {
    const struct {
        const char* name;
        std::string text;
        std::size_t nodes, links;
        const char* copiedAgain;
    } cases[] = {
        {"Empty", "", 0, 0, "EndNodes\nEndLinks\n"},
        {"OnlyAZeroByte", std::string(1, '\0'), 0, 0, "EndNodes\nEndLinks\n"},
        {"MarkersOnly", "EndNodes\nEndLinks\n", 0, 0, "EndNodes\nEndLinks\n"},
        {"MarkersOnlyCrlfNoFinalLineEnd", "EndNodes\r\nEndLinks", 0, 0, "EndNodes\nEndLinks\n"},
        {"Plain", kPair, 2, 1, kPair},
        {"Crlf", "0 0\r\n2 0\r\nEndNodes\r\n2 1 2 1400 2 50 190 O D1 back\r\nEndLinks\r\n", 2, 1,
         kPair},
        {"EndsWithAZeroByte", std::string(kPair) + '\0', 2, 1, kPair},
        {"BytesAfterTheZeroAreNotText", std::string(kPair) + '\0' + "garbage\n", 2, 1, kPair},
        {"NoFinalLineEnd", "0 0\n2 0\nEndNodes\n2 1 2 1400 2 50 190 O D1 back\nEndLinks", 2, 1,
         kPair},
        {"LinesAfterEndLinksAreIgnored", std::string(kPair) + "not a line\n\n1 2 3\n", 2, 1, kPair},
        {"NodesWithoutLinks", "1e-3 -7\nEndNodes\nEndLinks\n", 1, 0,
         "0.001 -7\nEndNodes\nEndLinks\n"},
        {"SelfLink", "4 4\nEndNodes\n1 1 1 100 0 10 20 I WZ \nEndLinks\n", 1, 1,
         "4 4\nEndNodes\n1 1 1 100 0 10 20 I WZ \nEndLinks\n"},
        // Fields a line no longer reaches take their defaults, as in a network file.
        {"NodeWithOneNumber", "0 0\n5\nEndNodes\nEndLinks\n", 2, 0,
         "0 0\n5 0\nEndNodes\nEndLinks\n"},
        {"BlankNodeLine", "0 0\n\nEndNodes\nEndLinks\n", 2, 0, "0 0\n0 0\nEndNodes\nEndLinks\n"},
        {"LinkMissingFields", "0 0\n1 1\nEndNodes\n1 2 2\nEndLinks\n", 2, 1,
         "0 0\n1 1\nEndNodes\n1 2 2 0 1.41421 0 0 I  \nEndLinks\n"},
        {"LinkMissingDirection", "0 0\n1 1\nEndNodes\n1 2 2 1400 1 50 190\nEndLinks\n", 2, 1,
         "0 0\n1 1\nEndNodes\n1 2 2 1400 1 50 190 I  \nEndLinks\n"},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Network net;
        net.addNode(new Node({9.0f, 9.0f}));
        PastedObjects pasted;
        std::string why;
        ASSERT_TRUE(pasteClipboardText(net, c.text, pasted, &why)) << why;
        EXPECT_EQ(pasted.nodes.size(), c.nodes);
        EXPECT_EQ(pasted.links.size(), c.links);
        EXPECT_EQ(net.nodes().size(), c.nodes + 1);
        EXPECT_EQ(net.links().size(), c.links);
        Selection again;
        for (Node* n : pasted.nodes)
            again.addNode(n);
        for (Link* l : pasted.links)
            again.addLink(l);
        EXPECT_EQ(clipboardText(again), c.copiedAgain);
    }
}

// Another program's text of millions of nodes, more than memory holds: refused with the reason,
// not an exception that closes the editor.
TEST(ClipboardPaste, TextLargerThanMemoryIsRefusedWithTheReason) {
    std::string text;
    for (int i = 0; i < 2'000'000; ++i)
        text += "0.5 0.25\n";
    text += "EndNodes\nEndLinks\n";
    const int result = inChildWithMemoryLeft(48u << 20, [&] {
        Network net;
        PastedObjects pasted;
        std::string why;
        if (pasteClipboardText(net, text, pasted, &why))
            return 1;
        return why.find("not enough memory") != std::string::npos && net.nodes().empty() ? 0 : 2;
    });
    if (result == -1)
        GTEST_SKIP() << "no child with limited memory here";
    EXPECT_EQ(result, 0);
}

// Texts that are refused as a whole: what the reason must mention.
TEST(ClipboardPaste, RefusesTextsAndLeavesTheNetworkAsItWas) {
    const struct {
        const char* name;
        std::string text;
        const char* reason;
    } cases[] = {
        {"EndsBeforeEndNodes", "0 0\n1 1\n", "ends before \"EndNodes\""},
        {"EndsBeforeEndLinks", "0 0\n1 1\nEndNodes\n1 2 2 1400 1 50 190 I M x\n",
         "ends before \"EndLinks\""},
        {"EndsRightAfterEndNodes", "EndNodes\n", "ends before \"EndLinks\""},
        {"NodeNotANumber", "0 zero\nEndNodes\nEndLinks\n", "malformed node line on line 1"},
        {"NodeNotFinite", "0 0\ninf 1\nEndNodes\nEndLinks\n", "not a finite number"},
        {"NodeBeyondFloatRange", "1e39 1\nEndNodes\nEndLinks\n", "out of range"},
        {"LinkToUndefinedNode", "0 0\nEndNodes\n1 2 2 1400 1 50 190 I M x\nEndLinks\n",
         "node 2, which the node section does not define"},
        // These fail after both ends have been attached to the parsed nodes.
        {"LinkLengthNotFinite", "0 0\n1 1\nEndNodes\n1 2 2 1400 inf 50 190 I M x\nEndLinks\n",
         "not a finite number"},
        {"SecondLinkMalformed",
         "0 0\n1 1\nEndNodes\n1 2 2 1400 1 50 190 I M x\n2 1 2 lanes\nEndLinks\n",
         "malformed link line on line 5"},
        {"BlankLinkLine", "0 0\n1 1\nEndNodes\n1 2 2 1400 1 50 190 I M x\n\nEndLinks\n",
         "malformed link line on line 5"},
        {"MarkerOutOfPlace", "EndLinks\nEndNodes\nEndLinks\n", "malformed node line on line 1"},
        {"AutomaticLengthNotFinite", "3e38 0\n-3e38 0\nEndNodes\n1 2 1 1 -1 1 1 I M\nEndLinks\n",
         "automatic length"},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sample s("-1 -1\n1 1\nEndNodes\n1 2 1 1000 5 30 150 I M x\nEndLinks");
        const std::string before = s.net.toText();
        const auto attachedBefore = attachments(s.net);
        const WorldRect boundsBefore = s.net.bounds();
        PastedObjects pasted;
        pasted.nodes.push_back(s.node(1)); // stale content from an earlier paste is dropped
        std::string why;
        EXPECT_FALSE(pasteClipboardText(s.net, c.text, pasted, &why));
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
        EXPECT_TRUE(pasted.nodes.empty());
        EXPECT_TRUE(pasted.links.empty());
        EXPECT_EQ(s.net.toText(), before);
        EXPECT_EQ(attachments(s.net), attachedBefore);
        EXPECT_EQ(s.net.bounds(), boundsBefore);
    }
}

TEST(ClipboardPaste, RefusesTooManyLinesBeforeMakingAnything) {
    Network net;
    const std::string huge(kMaxClipboardLines + 1, '\n');
    PastedObjects pasted;
    std::string why;
    EXPECT_FALSE(pasteClipboardText(net, huge, pasted, &why));
    EXPECT_NE(why.find("too long"), std::string::npos) << why;
    EXPECT_TRUE(net.nodes().empty());
}

// ---- The system clipboard ---------------------------------------------------------------------

class SystemClipboard : public ::testing::Test {
protected:
    SystemClipboard() : clipboard(toolkit().clipboard()) { clipboard->clear(); }

    QClipboard* clipboard;
};

TEST_F(SystemClipboard, NetworkTextRoundTripsWithATerminatingZero) {
    const std::string text = "0 0\n1.5 0\nEndNodes\n1 2 2 1400 1.5 50 190 I M Main St\nEndLinks\n";
    clipboard->setText("earlier text");
    putNetworkOnClipboard(text);

    ASSERT_TRUE(clipboardHasNetwork());
    EXPECT_EQ(networkFromClipboard(), text);
    const QByteArray stored = clipboard->mimeData()->data(kClipboardFormat);
    ASSERT_EQ(stored.size(), static_cast<qsizetype>(text.size() + 1));
    EXPECT_EQ(stored.back(), '\0');
    EXPECT_FALSE(clipboard->mimeData()->hasText()) << "the earlier contents are replaced";
}

// Plain text is not a network; a block from another program may be padded after its
// terminating zero.
TEST_F(SystemClipboard, OnlyTheNetworkFormatCountsAndItEndsAtTheFirstZeroByte) {
    clipboard->setText("0 0\nEndNodes\nEndLinks\n");
    EXPECT_FALSE(clipboardHasNetwork());
    EXPECT_FALSE(networkFromClipboard().has_value());
    auto* data = new QMimeData;
    data->setData(kClipboardFormat, QByteArray("EndNodes\nEndLinks\n\0padding", 27));
    clipboard->setMimeData(data);
    EXPECT_EQ(networkFromClipboard(), "EndNodes\nEndLinks\n");
}

TEST_F(SystemClipboard, ImageReplacesTheNetworkAndANullImageEmptiesIt) {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(qRgb(10, 200, 30));
    putNetworkOnClipboard("EndNodes\nEndLinks\n");
    putImageOnClipboard(image);
    EXPECT_FALSE(clipboardHasNetwork());
    const QImage back = clipboard->image();
    ASSERT_EQ(back.size(), image.size());
    EXPECT_EQ(back.pixel(3, 2), qRgb(10, 200, 30));

    putNetworkOnClipboard("EndNodes\nEndLinks\n");
    putImageOnClipboard(QImage());
    EXPECT_FALSE(clipboardHasNetwork());
    const QMimeData* left = clipboard->mimeData();
    EXPECT_TRUE(!left || left->formats().isEmpty());
}

} // namespace

} // namespace vantry
