#include "document/vantrydoc.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/toolkit.h"
#include "view/legenddrawing.h"
#include "view/linkcolouring.h"
#include "view/renderer.h"
#include "view/vantryview.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace vantry {

namespace {

std::vector<double> lows(const LinkColouring& c) {
    std::vector<double> out;
    for (const ColourClass& k : c.classes())
        out.push_back(k.low);
    return out;
}

std::vector<int> classesOf(const LinkColouring& c, const std::vector<double>& values) {
    std::vector<int> out;
    for (double v : values)
        out.push_back(c.classOf(v));
    return out;
}

double lightness(std::uint32_t rgb) {
    return 0.2126 * ((rgb >> 16) & 0xFF) + 0.7152 * ((rgb >> 8) & 0xFF) + 0.0722 * (rgb & 0xFF);
}

} // namespace

TEST(LinkClasses, EqualIntervalsCutTheRangeEvenlyAndTheTopValueFallsInTheLastClass) {
    const std::vector<double> values{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const LinkColouring c(ColourField::Speed, values, ClassMethod::EqualInterval, 5);
    ASSERT_FALSE(c.byValue());
    EXPECT_EQ(lows(c), (std::vector<double>{0, 2, 4, 6, 8}));
    EXPECT_EQ(classesOf(c, {0, 1.99, 2, 7.5, 8, 10, -0.5, 10.5}),
              (std::vector<int>{0, 0, 1, 3, 4, 4, -1, -1}));
    EXPECT_EQ(c.classes().front().label, "0 - 2");
    EXPECT_EQ(c.classes().back().label, "8 - 10");
    EXPECT_EQ(
        LinkColouring(ColourField::Speed, values, ClassMethod::EqualInterval, 3).classes().size(),
        3u);
}

TEST(LinkClasses, QuantilesPutAsManyValuesInEachClassWhateverTheirSpread) {
    const std::vector<double> values{1, 2, 3, 4, 5, 6, 7, 8, 1000, 2000};
    const LinkColouring q(ColourField::Capacity, values, ClassMethod::Quantiles, 5);
    EXPECT_EQ(lows(q), (std::vector<double>{1, 3, 5, 7, 1000}));
    std::vector<int> counts(5);
    for (int k : classesOf(q, values))
        ++counts.at(static_cast<std::size_t>(k));
    EXPECT_EQ(counts, (std::vector<int>{2, 2, 2, 2, 2}));
    // The same values in equal intervals crowd into the first class.
    const LinkColouring e(ColourField::Capacity, values, ClassMethod::EqualInterval, 5);
    EXPECT_EQ(classesOf(e, {8, 1000, 2000}), (std::vector<int>{0, 2, 4}));
}

TEST(LinkClasses, QuantilesThatMeetOnARepeatedValueMergeAndEveryClassKeepsValues) {
    std::vector<double> values(20, 50.0);
    for (double v : {10, 20, 30, 40, 60, 70, 80})
        values.push_back(v);
    const LinkColouring q(ColourField::Speed, values, ClassMethod::Quantiles, 5);
    ASSERT_LT(q.classes().size(), 5u);
    std::vector<int> counts(q.classes().size());
    for (int k : classesOf(q, values))
        ++counts.at(static_cast<std::size_t>(k));
    for (int n : counts)
        EXPECT_GT(n, 0);
    std::set<std::uint32_t> colours;
    for (const ColourClass& k : q.classes())
        colours.insert(k.rgb);
    EXPECT_EQ(colours.size(), q.classes().size());
}

TEST(LinkClasses, AFewDistinctValuesGetOneColourEach) {
    const LinkColouring c(ColourField::Lanes, {2, 1, 3, 2, 2, 1}, ClassMethod::Quantiles, 5);
    ASSERT_TRUE(c.byValue());
    ASSERT_EQ(c.classes().size(), 3u);
    EXPECT_EQ(classesOf(c, {1, 2, 3, 2.5, 4}), (std::vector<int>{0, 1, 2, -1, -1}));
    EXPECT_EQ(c.classes()[1].label, "2");
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(c.classes()[i].rgb, qualitativeColours()[i]);
    // Seven values still have a colour each; the eighth makes classes.
    const LinkColouring seven(ColourField::Lanes, {1, 2, 3, 4, 5, 6, 7}, ClassMethod::EqualInterval,
                              5);
    EXPECT_TRUE(seven.byValue());
    EXPECT_EQ(seven.classes().size(), 7u);
    EXPECT_FALSE(
        LinkColouring(ColourField::Lanes, {1, 2, 3, 4, 5, 6, 7, 8}, ClassMethod::EqualInterval, 5)
            .byValue());
}

TEST(LinkClasses, OneValueEverywhereIsOneClassAndNoValuesAreNone) {
    const LinkColouring same(ColourField::Speed, std::vector<double>(40, 55.0),
                             ClassMethod::EqualInterval, 5);
    ASSERT_EQ(same.classes().size(), 1u);
    EXPECT_EQ(same.classOf(55), 0);
    EXPECT_EQ(same.classes()[0].label, "55");
    const LinkColouring none(ColourField::Speed, {}, ClassMethod::Quantiles, 5);
    EXPECT_TRUE(none.classes().empty());
    EXPECT_EQ(none.classOf(55), -1);
}

TEST(LinkClasses, TheRampRunsFromDarkToLightWithDistinctColours) {
    for (int n = kMinClasses; n <= kMaxClasses; ++n) {
        SCOPED_TRACE(n);
        const std::vector<std::uint32_t> ramp = rampColours(n);
        ASSERT_EQ(ramp.size(), static_cast<std::size_t>(n));
        for (std::size_t i = 1; i < ramp.size(); ++i)
            EXPECT_GT(lightness(ramp[i]), lightness(ramp[i - 1]));
    }
    EXPECT_EQ(rampColours(5).front(), rampColours(9).front());
    EXPECT_EQ(rampColours(5).back(), rampColours(9).back());
}

TEST(LinkClasses, FieldsReadTheirAttributeAndTheLengthRatioNeedsADrawnDistance) {
    Network net;
    auto* a = new Node({0, 0});
    auto* b = new Node({2, 0});
    net.addNode(a);
    net.addNode(b);
    auto* l = new Link;
    l->setFromNode(a);
    l->setToNode(b);
    l->setNumLanes(3);
    l->setCapacity(5400);
    l->setFFSpeed(65);
    l->setJamDensity(190);
    net.addLink(l);
    EXPECT_EQ(linkFieldValue(*l, ColourField::Lanes), 3.0);
    EXPECT_EQ(linkFieldValue(*l, ColourField::Capacity), 5400.0);
    EXPECT_EQ(linkFieldValue(*l, ColourField::Speed), 65.0);
    EXPECT_EQ(linkFieldValue(*l, ColourField::JamDensity), 190.0);
    EXPECT_EQ(linkFieldValue(*l, ColourField::Type), std::nullopt);
    l->setLength(-1);
    EXPECT_EQ(linkFieldValue(*l, ColourField::LengthRatio), 1.0);
    l->setLength(3);
    EXPECT_DOUBLE_EQ(*linkFieldValue(*l, ColourField::LengthRatio), 1.5);
    b->setPosition({0, 0});
    EXPECT_EQ(linkFieldValue(*l, ColourField::LengthRatio), std::nullopt);

    for (ColourField f : colourFields())
        EXPECT_EQ(parseColourField(colourFieldKey(f)), f);
    EXPECT_EQ(parseColourField("Speed"), std::nullopt);
    EXPECT_EQ(colourLinks(net, {ColourField::Type}), std::nullopt);
}

namespace {

// A row of links with speeds 10, 20, ... drawn in an 800 x 600 window.
class ColouredMap : public ::testing::Test {
protected:
    ColouredMap() {
        toolkit();
        options.showGrid = false;
        options.showNumbers = false;
    }
    void addLinks(int count) {
        for (int i = 0; i < count; ++i) {
            auto* a = new Node({static_cast<float>(i), 0});
            auto* b = new Node({static_cast<float>(i), 3});
            net.addNode(a);
            net.addNode(b);
            auto* l = new Link;
            l->setFromNode(a);
            l->setToNode(b);
            l->setType(LinkType::Mainline);
            l->setFFSpeed(10 * (i + 1));
            net.addLink(l);
        }
    }
    QImage draw(int width, int height, const LinkColouring* colouring) {
        ViewTransform t;
        t.setClientSize(width, height, 1.0);
        t.ShowEntireNetwork(net.bounds());
        RenderOptions o = options;
        o.colouring = colouring;
        return renderToImage(net, t, o, nullptr);
    }
    static std::set<QRgb> coloursIn(const QImage& image, const QRect& r) {
        std::set<QRgb> out;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                out.insert(image.pixel(x, y) | 0xFF000000u);
        return out;
    }
    Network net;
    RenderOptions options;
};

} // namespace

TEST_F(ColouredMap, LinksTakeExactlyTheClassColoursAndTheLegendShowsEach) {
    addLinks(10);
    const LinkColouring c = *colourLinks(net, {ColourField::Speed, ClassMethod::EqualInterval, 5});
    const QImage image = draw(800, 600, &c);
    std::set<QRgb> expected{0xFFFFFFFF, 0xFF000000, 0xFFB5B5B5};
    std::set<QRgb> classColours;
    for (const ColourClass& k : c.classes())
        classColours.insert(0xFF000000u | k.rgb);
    ASSERT_EQ(classColours.size(), 5u);
    expected.insert(classColours.begin(), classColours.end());
    // Unsmoothed drawing and text: nothing but the classes, outlines, nodes and paper.
    EXPECT_EQ(coloursIn(image, image.rect()), expected);
    // The legend lies in the bottom-left corner, below the links, with a swatch of each class.
    const std::set<QRgb> corner = coloursIn(image, QRect(0, 480, 200, 120));
    for (QRgb k : classColours)
        EXPECT_TRUE(corner.count(k)) << std::hex << k;
    // Without a colouring the same links keep their type's colour and there is no legend.
    const std::set<QRgb> plain = coloursIn(draw(800, 600, nullptr), QRect(0, 0, 800, 600));
    EXPECT_EQ(plain, (std::set<QRgb>{0xFFFFFFFF, 0xFF000000, 0xFFB5B5B5, 0xFF57D1CB}));
}

TEST_F(ColouredMap, ABandedFrameDrawsTheLegendAsOnePieceDoes) {
    addLinks(12);
    const LinkColouring c = *colourLinks(net, {ColourField::Speed, ClassMethod::Quantiles, 4});
    const QImage banded = draw(1200, 900, &c);
    ViewTransform t;
    t.setClientSize(1200, 900, 1.0);
    t.ShowEntireNetwork(net.bounds());
    RenderOptions o = options;
    o.colouring = &c;
    QImage whole(1200, 900, QImage::Format_RGB32);
    renderArea(whole, net, t, o, nullptr);
    EXPECT_TRUE(banded == whole);
}

TEST_F(ColouredMap, AnEmptyNetworkOrOneValueStillDrawsALegend) {
    const LinkColouring none = *colourLinks(net, {ColourField::Capacity});
    EXPECT_TRUE(none.classes().empty());
    const QImage empty = draw(400, 300, &none);
    // The legend's box and its "no links" line.
    EXPECT_TRUE(coloursIn(empty, QRect(0, 200, 150, 100)).count(0xFF000000u));

    addLinks(3);
    for (Link* l : net.links())
        l->setFFSpeed(45);
    const LinkColouring one = *colourLinks(net, {ColourField::Speed});
    ASSERT_EQ(one.classes().size(), 1u);
    const std::set<QRgb> colours = coloursIn(draw(400, 300, &one), QRect(0, 0, 400, 300));
    EXPECT_TRUE(colours.count(0xFF000000u | one.classes()[0].rgb));
}

// Each window keeps its own colouring, and one that colours by a field follows edits of it.
TEST(ColouredView, EachWindowKeepsItsChoiceAndTheClassesFollowEdits) {
    toolkit();
    SingletonPtr<UserDefinedSettings> settings;
    settings->persistOnExit = false;
    settings->backColor.value = 0xFFFFFF;
    CVantryDoc doc;
    std::vector<Link*> links;
    for (int i = 0; i < 3; ++i) {
        auto* a = new Node({static_cast<float>(i), 0});
        auto* b = new Node({static_cast<float>(i), 2});
        doc.network().addNode(a);
        doc.network().addNode(b);
        auto* l = new Link;
        l->setFromNode(a);
        l->setToNode(b);
        l->setType(LinkType::Mainline);
        l->setNumLanes(i + 1);
        doc.network().addLink(l);
        links.push_back(l);
    }
    const auto colours = [](const QImage& image) {
        std::set<QRgb> out;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                out.insert(image.pixel(x, y) | 0xFF000000u);
        return out;
    };
    const auto rgb = [](std::size_t k) { return 0xFF000000u | qualitativeColours()[k]; };
    CVantryView byLanes(&doc), byType(&doc);
    for (CVantryView* v : {&byLanes, &byType}) {
        v->showGrid = false;
        v->showNumbers = false;
        v->viewport()->resize(400, 300);
        v->setPixelsPerLogical(1.0);
        v->OnInitialUpdate();
    }
    ASSERT_TRUE(byLanes.query(ID_VIEW_COLOUR_BY).has_value());
    EXPECT_TRUE(byLanes.query(ID_VIEW_COLOUR_BY)->enabled);
    byLanes.colourChoice.field = ColourField::Lanes;
    byLanes.rerender();
    std::set<QRgb> lanes = colours(byLanes.offscreen());
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_TRUE(lanes.count(rgb(k))) << k;
    EXPECT_FALSE(lanes.count(0xFF57D1CBu));
    EXPECT_TRUE(colours(byType.offscreen()).count(0xFF57D1CBu));
    EXPECT_FALSE(colours(byType.offscreen()).count(rgb(0)));

    // The third link takes the first link's lane count: two values are left, with the first two
    // colours, although only the third link's area changed.
    doc.editObjects("Lanes", {}, {links[2]}, [&](Network&) {
        links[2]->setNumLanes(1);
        return true;
    });
    lanes = colours(byLanes.offscreen());
    EXPECT_TRUE(lanes.count(rgb(0)));
    EXPECT_TRUE(lanes.count(rgb(1)));
    EXPECT_FALSE(lanes.count(rgb(2)));
    EXPECT_FALSE(colours(byType.offscreen()).count(rgb(0)));

    // Back to type: the window draws exactly as one that was never coloured.
    byLanes.colourChoice.field = ColourField::Type;
    byLanes.rerender();
    EXPECT_TRUE(byLanes.offscreen() == byType.offscreen());
}

} // namespace vantry
