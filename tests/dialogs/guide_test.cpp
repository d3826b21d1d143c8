// The user's guide against the program it describes: every page shipped and reachable, every
// link and index entry leading somewhere, every command of vantry-cli and every rule of the
// network check described in the words the program uses.

#include "check/checker.h"
#include "cli/vantrycli.h"
#include "model/model_test_support.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// The guide is compiled into a static library, so its resources are registered by hand.
static void registerGuide() {
    Q_INIT_RESOURCE(help);
}

// For the messages of failed expectations.
static std::ostream& operator<<(std::ostream& out, const QString& text) {
    return out << text.toStdString();
}

namespace vantry {

using model_test::addLinkBetween;
using model_test::addNodeAt;

namespace {

const QString kRoot = QStringLiteral(":/help/");

struct Href {
    QString page; // empty for the page the link is on
    QString anchor;
};

struct Page {
    QString text;
    QStringList anchors;
    std::vector<Href> links;
};

QString read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// Text as a reader sees it: tags dropped, the entities the guide uses decoded, blanks run
// together.
QString plain(QString html) {
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    html.remove(tag);
    static const std::pair<const char*, const char*> kEntities[] = {
        {"&lt;", "<"},          {"&gt;", ">"},         {"&quot;", "\""},      {"&nbsp;", " "},
        {"&hellip;", "\u2026"}, {"&ndash;", "\u2013"}, {"&times;", "\u00d7"}, {"&amp;", "&"}};
    for (const auto& [entity, text] : kEntities)
        html.replace(QLatin1String(entity), QString::fromUtf8(text));
    return html.simplified();
}

QStringList captures(const QString& text, const QString& pattern, int group = 1) {
    QStringList out;
    const QRegularExpression re(pattern, QRegularExpression::DotMatchesEverythingOption);
    for (auto it = re.globalMatch(text); it.hasNext();)
        out << it.next().captured(group);
    return out;
}

// Every page of the guide as shipped in the program's resources, by file name.
const QMap<QString, Page>& guide() {
    static const QMap<QString, Page> pages = [] {
        registerGuide();
        QMap<QString, Page> out;
        const QStringList names = QDir(kRoot).entryList({QStringLiteral("*.html")}, QDir::Files);
        for (const QString& name : names) {
            Page page;
            page.text = read(kRoot + name);
            page.anchors = captures(page.text, QStringLiteral(R"re(<a\s+name="([^"]*)")re"));
            for (const QString& href :
                 captures(page.text, QStringLiteral(R"re(href="([^"]*)")re"))) {
                if (href == QLatin1String("style.css"))
                    continue;
                const qsizetype hash = href.indexOf(QLatin1Char('#'));
                page.links.push_back(
                    {hash < 0 ? href : href.left(hash), hash < 0 ? QString() : href.mid(hash + 1)});
            }
            out.insert(name, page);
        }
        return out;
    }();
    return pages;
}

// The part of a page from an anchor to the next heading of the same or a higher level.
QString section(const QString& page, const QString& anchor) {
    const QString& text = guide().value(page).text;
    const QRegularExpression start(
        QStringLiteral(R"(<h([1-6])><a name="%1"></a>)").arg(QRegularExpression::escape(anchor)));
    const QRegularExpressionMatch m = start.match(text);
    if (!m.hasMatch())
        return {};
    const int level = m.captured(1).toInt();
    const QRegularExpression next(QStringLiteral("<h[1-%1][ >]").arg(level));
    const QRegularExpressionMatch end = next.match(text, m.capturedEnd());
    return text.mid(m.capturedStart(),
                    (end.hasMatch() ? end.capturedStart() : text.size()) - m.capturedStart());
}

struct IndexEntry {
    QString letter; // of the section it stands in
    QString text;
    Href target;
};

std::vector<IndexEntry> indexEntries() {
    std::vector<IndexEntry> out;
    const QString text = guide().value(QStringLiteral("keywords.html")).text;
    const QRegularExpression sectionRe(
        QStringLiteral(R"re(<h2><a name="([a-z])"></a>([A-Z])</h2>\s*<p>(.*?)</p>)re"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpression entryRe(
        QStringLiteral(R"re(<a href="([^"#]*)#?([^"]*)">([^<]*)</a>)re"));
    for (auto s = sectionRe.globalMatch(text); s.hasNext();) {
        const QRegularExpressionMatch m = s.next();
        EXPECT_EQ(m.captured(1).toUpper(), m.captured(2)) << "section anchor of " << m.captured(2);
        for (auto e = entryRe.globalMatch(m.captured(3)); e.hasNext();) {
            const QRegularExpressionMatch entry = e.next();
            out.push_back(
                {m.captured(2), plain(entry.captured(3)), {entry.captured(1), entry.captured(2)}});
        }
    }
    return out;
}

// The anchors of `page` that index entries lead to.
QSet<QString> indexedAnchors(const QString& page) {
    QSet<QString> out;
    for (const IndexEntry& e : indexEntries())
        if (e.target.page == page)
            out.insert(e.target.anchor);
    return out;
}

// A finding's message with its numbers made placeholders, so that the guide's example of a
// message is recognised whatever numbers it shows.
QString shape(QString message) {
    static const QRegularExpression number(QStringLiteral(R"(\d+(\.\d+)?)"));
    return message.replace(number, QStringLiteral("#"));
}

Link* goodLink(Network& net, Node* a, Node* b) {
    Link* l = addLinkBetween(net, a, b);
    l->setNumLanes(2);
    l->setCapacity(1800);
    l->setFFSpeed(55);
    l->setJamDensity(190);
    return l;
}

// Findings of every rule: a small network with one problem of each kind, and a large one for
// the workbook's limits.
std::vector<Finding> findingsOfEveryKind() {
    Network net;
    Node* a = addNodeAt(net, 0, 0);
    Node* b = addNodeAt(net, 1, 0);
    Node* c = addNodeAt(net, 1, 1);
    const std::initializer_list<std::pair<Node*, Node*>> roads = {{a, b}, {b, a}, {b, c},
                                                                  {c, b}, {c, a}, {a, c}};
    for (const auto& [from, to] : roads)
        goodLink(net, from, to);
    Link* duplicate = goodLink(net, a, b);
    duplicate->setCapacity(0);
    duplicate->setFFSpeed(0);
    goodLink(net, c, c);
    addNodeAt(net, 5, 5);                   // on no link
    goodLink(net, b, addNodeAt(net, 2, 0)); // a dead end
    Node* f = addNodeAt(net, 3, 3);         // a piece of its own
    Node* g = addNodeAt(net, 4, 3);
    goodLink(net, f, g);
    goodLink(net, g, f);
    addNodeAt(net, 0.0005f, 0);           // over node 1
    goodLink(net, a, c)->setLength(9.0f); // far longer than drawn
    std::vector<Finding> found = checkNetwork(net);

    Network large;
    Node* p = addNodeAt(large, 0, 0);
    for (int i = 0; i <= 200; ++i)
        goodLink(large, p, addNodeAt(large, 0.01f * static_cast<float>(i + 1), 0));
    const std::vector<Finding> more = checkNetwork(large);
    found.insert(found.end(), more.begin(), more.end());

    // Detour 1 in two pieces, of two links and of one, and a gap in the work zone.
    Network typed;
    std::vector<Node*> n;
    for (int i = 0; i < 7; ++i)
        n.push_back(addNodeAt(typed, static_cast<float>(i), 3));
    for (const auto& [from, to, code] :
         {std::tuple{0, 1, "D1"}, std::tuple{1, 2, "D1"}, std::tuple{3, 4, "D1"},
          std::tuple{4, 5, "WZ"}, std::tuple{6, 0, "WZ"}})
        goodLink(typed, n[static_cast<std::size_t>(from)], n[static_cast<std::size_t>(to)])
            ->setTypeCode(code);
    const std::vector<Finding> alsoFound = checkNetwork(typed);
    found.insert(found.end(), alsoFound.begin(), alsoFound.end());
    return found;
}

} // namespace

TEST(Guide, EveryPageIsShippedReachableFromTheContentsAndTitledAsItsHeading) {
    const QMap<QString, Page>& pages = guide();
    ASSERT_TRUE(pages.contains(QStringLiteral("index.html")));
    const QStringList sources =
        QDir(QStringLiteral(VANTRY_HELP_SOURCE)).entryList({QStringLiteral("*.html")}, QDir::Files);
    EXPECT_EQ(pages.keys().join(' ').toStdString(), sources.join(' ').toStdString())
        << "a page written but not in help.qrc";

    QSet<QString> fromContents;
    for (const Href& link : pages.value(QStringLiteral("index.html")).links)
        fromContents.insert(link.page);
    for (auto it = pages.begin(); it != pages.end(); ++it) {
        const QString& name = it.key();
        const QString& text = it.value().text;
        if (name != QLatin1String("index.html")) {
            EXPECT_TRUE(fromContents.contains(name)) << name << " is not in the contents";
        }
        const QString title =
            plain(captures(text, QStringLiteral("<title>(.*?)</title>")).value(0));
        const QString heading =
            plain(captures(text, QStringLiteral(R"(<h1><a name="top"></a>(.*?)</h1>)")).value(0));
        EXPECT_FALSE(title.isEmpty()) << name;
        EXPECT_EQ(title.toStdString(), heading.toStdString()) << name;
        EXPECT_TRUE(text.contains(QLatin1String(R"(href="style.css")"))) << name;
        EXPECT_EQ(captures(text, QStringLiteral("<p class=\"nav\">"), 0).size(), 1) << name;
    }
}

TEST(Guide, EveryLinkAndContextTopicLeadsToAnAnchorThatExists) {
    const QMap<QString, Page>& pages = guide();
    for (auto it = pages.begin(); it != pages.end(); ++it) {
        const std::string on = it.key().toStdString();
        QStringList anchors = it.value().anchors;
        anchors.removeDuplicates();
        EXPECT_EQ(anchors.size(), it.value().anchors.size()) << "an anchor twice on " << on;
        for (const Href& link : it.value().links) {
            const QString page = link.page.isEmpty() ? it.key() : link.page;
            const std::string to = (page + QLatin1Char('#') + link.anchor).toStdString();
            EXPECT_TRUE(pages.contains(page)) << on << " links to a missing page: " << to;
            if (pages.contains(page) && !link.anchor.isEmpty()) {
                EXPECT_TRUE(pages.value(page).anchors.contains(link.anchor))
                    << on << " links to a missing anchor: " << to;
            }
        }
    }

    // The topics that dialogs and F1 open.
    const QStringList lines =
        read(kRoot + QStringLiteral("topics.txt")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    for (const QString& line : lines) {
        const QStringList parts = line.split(QLatin1Char('\t'));
        ASSERT_EQ(parts.size(), 2) << line;
        const QString page = parts[1].section(QLatin1Char('#'), 0, 0);
        const QString anchor = parts[1].section(QLatin1Char('#'), 1);
        ASSERT_TRUE(pages.contains(page)) << line;
        if (!anchor.isEmpty()) {
            EXPECT_TRUE(pages.value(page).anchors.contains(anchor)) << line;
        }
    }
}

TEST(Guide, TheIndexIsInOrderUnderItsLettersAndNamesEveryPage) {
    const std::vector<IndexEntry> entries = indexEntries();
    ASSERT_GT(entries.size(), 100u);
    const QString text = guide().value(QStringLiteral("keywords.html")).text;
    QStringList letters;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const IndexEntry& e = entries[i];
        EXPECT_EQ(e.text.left(1).toUpper(), e.letter) << e.text;
        if (i > 0) {
            EXPECT_LT(entries[i - 1].text.compare(e.text, Qt::CaseInsensitive), 0)
                << entries[i - 1].text.toStdString() << " before " << e.text;
        }
        if (!letters.contains(e.letter))
            letters << e.letter;
    }
    // The letters at the top lead to exactly the sections there are.
    const QString bar = captures(text, QStringLiteral(R"(<h1>.*?</h1>\s*<p>(.*?)</p>)")).value(0);
    EXPECT_EQ(
        captures(bar, QStringLiteral(R"(<a href="#[a-z]">([A-Z])</a>)")).join(' ').toStdString(),
        letters.join(' ').toStdString());

    QSet<QString> indexed;
    for (const IndexEntry& e : entries)
        indexed.insert(e.target.page);
    for (const QString& page : guide().keys())
        if (page != QLatin1String("index.html") && page != QLatin1String("keywords.html")) {
            EXPECT_TRUE(indexed.contains(page)) << page << " has no index entry";
        }
}

TEST(Guide, TheCommandLinePageDescribesEveryCommandAndOptionTheToolKnows) {
    std::ostringstream out, err;
    ASSERT_EQ(runVantryCli({"--help"}, out, err), 0);
    const QString help = QString::fromStdString(out.str());
    const qsizetype commandsAt = help.indexOf(QLatin1String("\nCommands:\n"));
    const qsizetype optionsAt = help.indexOf(QLatin1String("\nOptions:\n"));
    ASSERT_GE(commandsAt, 0);
    ASSERT_GT(optionsAt, commandsAt);

    // Each command starts a line of its own, indented by two; what follows describes it.
    QMap<QString, QSet<QString>> options;
    QString command;
    static const QRegularExpression commandLine(QStringLiteral("^  ([a-z][a-z-]*)( |$)"));
    static const QRegularExpression option(QStringLiteral("--[a-z][a-z-]*"));
    for (const QString& line : help.mid(commandsAt, optionsAt - commandsAt).split('\n')) {
        if (const QRegularExpressionMatch m = commandLine.match(line); m.hasMatch()) {
            command = m.captured(1);
            options.insert(command, {});
        } else if (command.isEmpty()) {
            continue;
        }
        for (auto it = option.globalMatch(line); it.hasNext();)
            options[command].insert(it.next().captured());
    }
    ASSERT_GE(options.size(), 7) << help;

    const QString page = QStringLiteral("vantry-cli.html");
    const Page& cli = guide().value(page);
    const QString synopsis =
        plain(captures(section(page, QStringLiteral("cli")), QStringLiteral("<pre>(.*?)</pre>"))
                  .value(0));
    const QSet<QString> indexed = indexedAnchors(page);
    for (auto it = options.begin(); it != options.end(); ++it) {
        const QString anchor = QStringLiteral("cli-") + it.key();
        const std::string name = it.key().toStdString();
        EXPECT_TRUE(synopsis.contains(QStringLiteral("vantry-cli ") + it.key() + QLatin1Char(' ')))
            << name << " is missing from the synopsis";
        const QString about = section(page, anchor);
        EXPECT_FALSE(about.isEmpty()) << name << " has no section";
        for (const QString& o : it.value()) {
            EXPECT_TRUE(synopsis.contains(o)) << name << " " << o;
            EXPECT_TRUE(plain(about).contains(o)) << name << " does not explain " << o;
        }
        EXPECT_TRUE(indexed.contains(anchor)) << name << " has no index entry";
    }
    for (const QString& anchor : cli.anchors)
        if (anchor.startsWith(QLatin1String("cli-"))) {
            EXPECT_TRUE(options.contains(anchor.mid(4))) << anchor << " is no command";
        }
    for (const char* global : {"--help", "--version"})
        EXPECT_TRUE(cli.text.contains(QLatin1String(global))) << global;
}

TEST(Guide, TheCheckPageExplainsEveryRuleWithItsSeverityAndMessages) {
    const QString page = QStringLiteral("checker.html");
    const QSet<QString> indexed = indexedAnchors(page);
    QSet<QString> rules;
    for (const CheckRule& rule : checkRules()) {
        const QString name = QString::fromLatin1(rule.name);
        rules.insert(name);
        const QString anchor = QStringLiteral("rule-") + name;
        const QString heading =
            plain(captures(section(page, anchor), QStringLiteral("<h3>(.*?)</h3>")).value(0));
        EXPECT_EQ(heading.toStdString(),
                  std::string(rule.name) + " (" + severityName(rule.severity) + ")");
        EXPECT_TRUE(indexed.contains(anchor)) << rule.name << " has no index entry";
    }
    for (const QString& anchor : guide().value(page).anchors)
        if (anchor.startsWith(QLatin1String("rule-"))) {
            EXPECT_TRUE(rules.contains(anchor.mid(5))) << anchor << " is no rule";
        }

    // What each rule says is shown as it says it, numbers aside.
    QSet<QString> seen;
    for (const Finding& f : findingsOfEveryKind()) {
        const QString rule = QString::fromLatin1(f.rule);
        seen.insert(rule);
        QStringList examples;
        for (const QString& box : captures(section(page, QStringLiteral("rule-") + rule),
                                           QStringLiteral(R"(<p class="msg">(.*?)</p>)")))
            for (const QString& line : box.split(QStringLiteral("<br>")))
                examples << shape(plain(line));
        EXPECT_TRUE(examples.contains(shape(QString::fromStdString(f.message))))
            << findingLine(f) << "\nis not shown as in\n"
            << examples.join(QLatin1Char('\n')).toStdString();
    }
    QStringList seenNames(seen.begin(), seen.end()), ruleNames(rules.begin(), rules.end());
    seenNames.sort();
    ruleNames.sort();
    EXPECT_EQ(seenNames.join(' ').toStdString(), ruleNames.join(' ').toStdString())
        << "the test networks should give a finding of every rule";
}

} // namespace vantry
