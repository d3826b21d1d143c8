#include "dialogs/backcolorbutton.h"
#include "dialogs/expressiondlg.h"
#include "dialogs/fieldcalcdlg.h"
#include "dialogs/georeferencedlg.h"
#include "dialogs/gotodlg.h"
#include "dialogs/help.h"
#include "dialogs/importmappingdlg.h"
#include "dialogs/integeredit.h"
#include "dialogs/linkdlg.h"
#include "dialogs/nodedlg.h"
#include "dialogs/preferencessheet.h"
#include "dialogs/qtprompter.h"
#include "dialogs/streetloaddlg.h"
#include "model/network.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/bytetext.h"
#include "support/scriptedprompter.h"
#include "support/toolkit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>

#include <chrono>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace vantry {

namespace {

void setText(const QWidget& dialog, const char* name, const QString& text) {
    if (auto* edit = dialog.findChild<CIntegerEdit*>(QLatin1String(name)))
        edit->setText(text);
    else
        child<QLineEdit>(dialog, name)->setText(text);
}

QString text(const QWidget& dialog, const char* name) {
    if (auto* edit = dialog.findChild<CIntegerEdit*>(QLatin1String(name)))
        return edit->text();
    return child<QLineEdit>(dialog, name)->text();
}

QStringList texts(const QWidget& dialog, std::initializer_list<const char*> names) {
    QStringList out;
    for (const char* name : names)
        out << text(dialog, name);
    return out;
}

bool hasFocusOn(const QWidget& dialog, const char* name) {
    const QWidget* field = child<QWidget>(dialog, name);
    const QWidget* focus = dialog.focusWidget();
    return focus && (focus == field || field->isAncestorOf(focus));
}

void press(QWidget* target, int key) {
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, QString());
    QApplication::sendEvent(target, &down);
}

// Lanes, capacity, free-flow speed, jam density, direction and type of a link.
using Traffic = std::tuple<int, int, int, int, LinkDirection, LinkType>;

Traffic traffic(const Link& l) {
    return {l.numLanes(), l.capacity(), l.ffSpeed(), l.jamDensity(), l.direction(), l.type()};
}

void setTraffic(Link& l, const Traffic& t) {
    l.setNumLanes(std::get<0>(t));
    l.setCapacity(std::get<1>(t));
    l.setFFSpeed(std::get<2>(t));
    l.setJamDensity(std::get<3>(t));
    l.setDirection(std::get<4>(t));
    l.setType(std::get<5>(t));
}

// Every dialog test gets a settings object that is never written back to the user's store.
class Dialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        toolkit();
        static QTemporaryDir store;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
    }
    Dialogs() { settings->persistOnExit = false; }

    Link* addLink(WorldPoint from, WorldPoint to) {
        auto* a = new Node(from);
        auto* b = new Node(to);
        network.addNode(a);
        network.addNode(b);
        auto* link = new Link;
        link->setFromNode(a);
        link->setToNode(b);
        network.addLink(link);
        return link;
    }
    // Opens the link dialog on `links`, lets `edit` work on it, presses OK and applies.
    template <class Edit> void editLinks(const std::vector<Link*>& links, Edit edit) {
        CLinkDlg dlg(links, prompter);
        edit(dlg);
        dlg.accept();
        dlg.apply();
    }

    SingletonPtr<UserDefinedSettings> settings;
    ScriptedPrompter prompter;
    Network network;
};

// ---- Link dialog ------------------------------------------------------------------------------

using LinkDialog = Dialogs;

TEST_F(LinkDialog, OneLinkIsShownWholeWrittenBackAndSurvivesAnUntouchedRoundTrip) {
    addLink({0, 0}, {1, 0});
    Link* link = addLink({0, 0}, {3, 4});
    setTraffic(*link, {3, 1800, 55, 200, LinkDirection::Outbound, LinkType::Ramp});
    link->setDescription("Elm St");
    link->setLength(7.25f);

    CLinkDlg dlg({link}, prompter);
    EXPECT_EQ(dlg.windowTitle(), "Link 2 Properties");
    EXPECT_EQ(texts(dlg, {"numLanes", "capacity", "length", "ffSpeed", "jamDensity"}),
              QStringList({"3", "1800", "7.250", "55", "200"}));
    EXPECT_TRUE(child<QRadioButton>(dlg, "outbound")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(dlg, "ramp")->isChecked());
    EXPECT_EQ(child<QPlainTextEdit>(dlg, "description")->toPlainText(), "Elm St");
    EXPECT_TRUE(child<QLineEdit>(dlg, "length")->isEnabled());

    setText(dlg, "numLanes", " +12 "); // beyond the arrows' range, and with blanks and a sign
    setText(dlg, "capacity", "2000");
    setText(dlg, "length", "6.5 miles");
    setText(dlg, "ffSpeed", "60");
    setText(dlg, "jamDensity", "180");
    child<QRadioButton>(dlg, "inbound")->click();
    child<QRadioButton>(dlg, "detour2")->click();
    child<QPlainTextEdit>(dlg, "description")->setPlainText("Oak Ave");
    dlg.apply();
    EXPECT_EQ(link->numLanes(), 3) << "nothing is written before OK";
    child<QPushButton>(dlg, "ok")->click();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    dlg.apply();
    EXPECT_EQ(traffic(*link),
              Traffic(12, 2000, 60, 180, LinkDirection::Inbound, LinkType::Detour2));
    EXPECT_EQ(link->effectiveLength(), 6.5f);
    EXPECT_EQ(link->description(), "Oak Ave");

    // Lengths the box can show only rounded come back unchanged, automatic ones stay automatic.
    link->setLength(1.23456f);
    Link* automatic = addLink({0, 0}, {1.23456f, 0});
    for (Link* l : {link, automatic}) {
        const float before = l->effectiveLength();
        const bool wasAutomatic = l->hasAutomaticLength();
        editLinks({l}, [](CLinkDlg& again) { EXPECT_EQ(text(again, "length"), "1.235"); });
        EXPECT_EQ(l->effectiveLength(), before);
        EXPECT_EQ(l->hasAutomaticLength(), wasAutomatic);
    }
    EXPECT_EQ(link->description(), "Oak Ave");
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(LinkDialog, ResetLengthShowsTheRoundedDistanceAndLeftAsShownMakesTheLengthAutomatic) {
    Link* link = addLink({0, 0}, {1.23456f, 0});
    link->setLength(9.0f);
    {
        CLinkDlg dlg({link}, prompter);
        child<QPushButton>(dlg, "resetLength")->click();
        EXPECT_EQ(text(dlg, "length"), "1.235");
        dlg.reject();
        dlg.apply();
        EXPECT_EQ(link->effectiveLength(), 9.0f) << "Cancel changes nothing";
    }
    editLinks({link}, [](CLinkDlg& dlg) { child<QPushButton>(dlg, "resetLength")->click(); });
    EXPECT_TRUE(link->hasAutomaticLength());
    EXPECT_FLOAT_EQ(link->effectiveLength(), 1.23456f);

    link->setLength(9.0f);
    editLinks({link}, [](CLinkDlg& dlg) {
        child<QPushButton>(dlg, "resetLength")->click();
        setText(dlg, "length", "2");
    });
    EXPECT_FALSE(link->hasAutomaticLength()) << "a typed length is kept as typed";
    EXPECT_EQ(link->effectiveLength(), 2.0f);
}

QPlainTextEdit* descriptionBox(const QWidget& dialog) {
    return child<QPlainTextEdit>(dialog, "description");
}

// Replaces the characters from `from` to `to` of the box as a user selecting and typing does.
void typeInto(QPlainTextEdit* box, int from, int to, const QString& text) {
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.insertText(text);
}

// How each kind of stored text is written back is for StoredText's own tests; these show that
// the box goes through it both ways.
TEST_F(LinkDialog, DescriptionShowsTheStoredCharactersAndKeepsEveryByteAnEditDidNotTouch) {
    struct Case {
        const char* name;
        std::string stored;
        const char16_t* shown;
        int from, to;
        const char16_t* typed;
        std::string written;
    };
    const Case cases[] = {{"utf8", "Caf\xC3\xA9 \xD0\x96 Rd", u"Caf\u00E9 \u0416 Rd", 5, 6,
                           u"\u20AC", "Caf\xC3\xA9 \xE2\x82\xAC Rd"},
                          {"cp1252", "Caf\xE9 \x93Noir\x94", u"Caf\u00E9 \u201CNoir\u201D", 6, 10,
                           u"Cr\u00E8me",
                           "Caf\xE9 \x93"
                           "Cr\xE8me\x94"},
                          {"invalid sequences", "\xE2\x82|\xF0\x9F\x98|\xC0\xAF|\x81\x8D|\xBF",
                           u"\u00E2\u201A|\u00F0\u0178\u02DC|\u00C0\u00AF|\u0081\u008D|\u00BF", 6,
                           7, u"/", "\xE2\x82|\xF0\x9F\x98/\xC0\xAF|\x81\x8D|\xBF"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Link* link = addLink({0, 0}, {1, 0});
        link->setDescription(c.stored);
        editLinks({link}, [&](CLinkDlg& dlg) {
            EXPECT_EQ(descriptionBox(dlg)->toPlainText(), u16(c.shown));
        });
        EXPECT_EQ(hex(link->description()), hex(c.stored)) << "left as shown";
        editLinks({link}, [&](CLinkDlg& dlg) {
            typeInto(descriptionBox(dlg), c.from, c.to, u16(c.typed));
        });
        EXPECT_EQ(hex(link->description()), hex(c.written));
        CLinkDlg again({link}, prompter);
        EXPECT_EQ(descriptionBox(again)->toPlainText(),
                  u16(c.shown).replace(c.from, c.to - c.from, u16(c.typed)));
    }
}

TEST_F(LinkDialog, TypedLineBreaksBecomeSpacesAndStoredBytesAroundThemStay) {
    Link* typed = addLink({0, 0}, {1, 0});
    editLinks({typed}, [](CLinkDlg& dlg) {
        descriptionBox(dlg)->setPlainText("Main St\r\nnorth\rof\n\n5th");
    });
    EXPECT_EQ(typed->description(), "Main St north of  5th");

    // A workbook cell can hold a line break; the box shows it, and a no-break space as a space.
    Link* stored = addLink({0, 0}, {1, 0});
    stored->setDescription("Caf\xE9\r\nMain\xA0St");
    editLinks({stored}, [](CLinkDlg& dlg) {
        QPlainTextEdit* box = descriptionBox(dlg);
        EXPECT_EQ(box->toPlainText(), u16(u"Caf\u00E9\nMain St"));
        typeInto(box, 12, 12, QStringLiteral("\r\nnorth\rof\n\n5th"));
    });
    EXPECT_EQ(hex(stored->description()), hex("Caf\xE9\r\nMain\xA0St north of  5th"));
    editLinks({stored},
              [](CLinkDlg& dlg) { typeInto(descriptionBox(dlg), 4, 4, QStringLiteral("!")); });
    EXPECT_EQ(hex(stored->description()), hex("Caf\xE9!\r\nMain\xA0St north of  5th"));
}

TEST_F(LinkDialog, ARefusedFieldIsNamedFocusedAndNothingIsStored) {
    const std::tuple<const char*, const char*, const char*> refusals[] = {
        {"numLanes", "two", "Please enter an integer for Number of Lanes."},
        {"capacity", "14 00", "Please enter an integer for Capacity."},
        {"ffSpeed", "", "Please enter an integer for Free-flow Speed."},
        {"jamDensity", "2147483648", "Please enter an integer for Jam Density."},
        {"length", "about 2", "Please enter a number of miles for Length."},
        {"length", "inf", "Please enter a number of miles for Length."}};
    Link* link = addLink({0, 0}, {1, 0});
    link->setNumLanes(2);
    for (const auto& [name, typed, message] : refusals) {
        SCOPED_TRACE(typed);
        prompter.asked.clear();
        CLinkDlg dlg({link}, prompter);
        dlg.show();
        setText(dlg, "numLanes", "4");
        setText(dlg, name, typed);
        dlg.accept();
        EXPECT_TRUE(dlg.isVisible());
        ASSERT_EQ(prompter.asked.size(), 1u);
        EXPECT_EQ(prompter.asked[0].text, message);
        EXPECT_TRUE(hasFocusOn(dlg, name));
        dlg.apply();
        EXPECT_EQ(link->numLanes(), 2);
    }
}

TEST_F(LinkDialog, SeveralLinksShowWhatTheyShareAndOnlyFilledInAttributesAreApplied) {
    Link* a = addLink({0, 0}, {1, 0});
    Link* b = addLink({0, 0}, {0, 2});
    setTraffic(*a, {2, 1400, 50, 190, LinkDirection::Outbound, LinkType::Mainline});
    setTraffic(*b, {2, 1800, 60, 190, LinkDirection::Outbound, LinkType::Workzone});
    a->setLength(3.0f);
    a->setDescription("first");
    b->setDescription("second");

    auto unchangedLengthsAndDescriptions = [&] {
        EXPECT_EQ(a->effectiveLength(), 3.0f);
        EXPECT_TRUE(b->hasAutomaticLength());
        EXPECT_EQ(a->description(), "first");
        EXPECT_EQ(b->description(), "second");
    };
    editLinks({a, b}, [](CLinkDlg& dlg) {
        EXPECT_EQ(dlg.windowTitle(), "Multiple Link Properties");
        EXPECT_EQ(texts(dlg, {"numLanes", "capacity", "ffSpeed", "jamDensity"}),
                  QStringList({"2", "", "", "190"}))
            << "differing values are not shown";
        EXPECT_TRUE(child<QRadioButton>(dlg, "outbound")->isChecked());
        for (const char* type : {"mainline", "workzone", "detour1", "detour2", "ramp", "none"})
            EXPECT_FALSE(child<QRadioButton>(dlg, type)->isChecked()) << type;
        for (const char* disabled : {"length", "resetLength", "description"})
            EXPECT_FALSE(child<QWidget>(dlg, disabled)->isEnabled()) << disabled;
    });
    EXPECT_EQ(traffic(*a), Traffic(2, 1400, 50, 190, LinkDirection::Outbound, LinkType::Mainline));
    EXPECT_EQ(traffic(*b), Traffic(2, 1800, 60, 190, LinkDirection::Outbound, LinkType::Workzone));
    unchangedLengthsAndDescriptions();

    editLinks({a, b}, [this](CLinkDlg& dlg) {
        setText(dlg, "numLanes", "");
        setText(dlg, "capacity", "1600");
        setText(dlg, "jamDensity", "x");
        dlg.accept();
        ASSERT_EQ(prompter.asked.size(), 1u);
        EXPECT_EQ(prompter.asked[0].text, "Please enter an integer for Jam Density.");
        setText(dlg, "jamDensity", "200");
        child<QRadioButton>(dlg, "ramp")->click();
        child<QRadioButton>(dlg, "inbound")->click();
    });
    // An emptied field leaves the values.
    EXPECT_EQ(traffic(*a), Traffic(2, 1600, 50, 200, LinkDirection::Inbound, LinkType::Ramp));
    EXPECT_EQ(traffic(*b), Traffic(2, 1600, 60, 200, LinkDirection::Inbound, LinkType::Ramp));
    unchangedLengthsAndDescriptions();
}

// ---- Integer fields ---------------------------------------------------------------------------

// The arrows' rule, shown on a field that starts at zero and one that does not; each field's
// own range is a design choice, not a rule.
TEST_F(Dialogs, IntegerFieldArrowsStopAtTheRangeEndsAndTypingTakesDigitsOnly) {
    Link* link = addLink({0, 0}, {1, 0});
    CLinkDlg linkDlg({link}, prompter);
    CPreferencesSheet sheet(prompter);
    const std::tuple<const QWidget*, const char*, int, int> ranges[] = {
        {&linkDlg, "numLanes", 0, 10}, {&sheet, "gridPixels", 20, 100}};
    for (const auto& [dialog, name, low, high] : ranges) {
        SCOPED_TRACE(name);
        auto* edit = child<CIntegerEdit>(*dialog, name);
        edit->setText(QString());
        edit->stepBy(1);
        EXPECT_EQ(edit->text(), QString::number(low)) << "an empty field starts low";
        edit->setInteger(high - 1);
        edit->stepBy(5);
        EXPECT_EQ(edit->text(), QString::number(high));
        edit->setInteger(high + 7);
        edit->stepBy(-1);
        EXPECT_EQ(edit->text(), QString::number(high)) << "back into the range";
        edit->setInteger(low + 1);
        edit->stepBy(-5);
        EXPECT_EQ(edit->text(), QString::number(low));
    }

    auto* lanes = child<CIntegerEdit>(linkDlg, "numLanes");
    lanes->setText(QStringLiteral("1"));
    auto* typing = lanes->findChild<QLineEdit*>();
    typing->end(false);
    for (const char* key : {"a", "-", "2"}) {
        QKeyEvent event(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromLatin1(key));
        QApplication::sendEvent(typing, &event);
    }
    EXPECT_EQ(lanes->text(), "12");
    press(typing, Qt::Key_Down);
    EXPECT_EQ(lanes->text(), "10") << "the Down key is an arrow too";
}

// ---- Node dialog ------------------------------------------------------------------------------

using NodeDialog = Dialogs;

TEST_F(NodeDialog, ShowsSixSignificantDigitsAndTakesWhatIsTyped) {
    addLink({0, 0}, {1, 1});
    Node* node = new Node(WorldPoint{12.3456789f, -0.0000123456789f});
    network.addNode(node);
    {
        CNodeDlg dlg(*node, prompter);
        EXPECT_EQ(dlg.windowTitle(), "Node 3 Properties");
        EXPECT_EQ(texts(dlg, {"x", "y"}), QStringList({"12.3457", "-1.23457e-05"}));
        dlg.accept();
        dlg.apply();
        EXPECT_EQ(node->x(), 12.3456789f) << "an untouched box keeps the exact value";
        EXPECT_EQ(node->y(), -0.0000123456789f);
    }
    CNodeDlg dlg(*node, prompter);
    setText(dlg, "x", " -3.25 ");
    setText(dlg, "y", "+1e2");
    dlg.reject();
    dlg.apply();
    EXPECT_EQ(node->x(), 12.3456789f) << "Cancel changes nothing";
    dlg.accept();
    dlg.apply();
    EXPECT_EQ(node->position(), (WorldPoint{-3.25f, 100.0f}));
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(NodeDialog, RefusesAnythingButOneFiniteNumberAndStaysOpen) {
    Node* node = new Node(WorldPoint{1.0f, 2.0f});
    network.addNode(node);
    for (const char* box : {"x", "y"}) {
        for (const char* typed : {"", "  ", "abc", "1.5x", "1,5", "--1", "inf", "nan", "1e39"}) {
            SCOPED_TRACE(std::string(box) + " '" + typed + "'");
            prompter.asked.clear();
            CNodeDlg dlg(*node, prompter);
            dlg.show();
            setText(dlg, box, typed);
            dlg.accept();
            EXPECT_TRUE(dlg.isVisible());
            ASSERT_EQ(prompter.asked.size(), 1u);
            EXPECT_EQ(prompter.asked[0].text,
                      std::string("Please enter a number for ") + (box[0] == 'x' ? "X." : "Y."));
            EXPECT_TRUE(hasFocusOn(dlg, box));
            dlg.apply();
            EXPECT_EQ(node->position(), (WorldPoint{1.0f, 2.0f}));
        }
    }
}

// ---- Preferences sheet ------------------------------------------------------------------------

using PreferencesSheet = Dialogs;

TEST_F(PreferencesSheet, ShowsTheSettingsAndOkWritesThemAllBackWithoutRangeChecks) {
    // {field, setting, value shown, value typed}; most of what is typed lies beyond the arrows.
    const std::tuple<const char*, Setting<std::int32_t>*, int, int> fields[] = {
        {"numLanes", &settings->defaultNumLanes, 2, 40},
        {"capacity", &settings->defaultCapacity, 1400, 19000},
        {"ffSpeed", &settings->defaultFFSpeed, 50, 165},
        {"jamDensity", &settings->defaultJamDensity, 190, 2100},
        {"gridPixels", &settings->gridPixels, 50, 5},
        {"precision", &settings->precision, 3, 15},
        {"autosaveSeconds", &settings->autosaveSeconds, 60, 0}};
    for (const auto& [name, setting, shown, typed] : fields)
        setting->value = shown;
    settings->backColor.value = 0xFFFFFF;

    CPreferencesSheet sheet(prompter);
    EXPECT_EQ(sheet.windowTitle(), "Preferences");
    auto* tabs = child<QTabWidget>(sheet, "pages");
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(child<CBackColorButton>(sheet, "backColor")->colour(), 0xFFFFFFu);
    for (const auto& [name, setting, shown, typed] : fields) {
        EXPECT_EQ(text(sheet, name), QString::number(shown)) << name;
        setText(sheet, name, QString::number(typed));
    }
    EXPECT_FALSE(sheet.apply()) << "nothing is written before OK";
    EXPECT_EQ(settings->defaultNumLanes.value, 2);
    sheet.accept();
    ASSERT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_FALSE(sheet.apply()) << "the colour did not change";
    for (const auto& [name, setting, shown, typed] : fields)
        EXPECT_EQ(setting->value, typed) << name;
    EXPECT_EQ(settings->backColor.value, 0xFFFFFFu);
}

TEST_F(PreferencesSheet, ColourButtonShowsTheChoiceAndApplyReportsOnlyARealChange) {
    settings->backColor.value = 0x00FF00;
    const std::uint32_t blue = 0xFF0000;
    {
        CPreferencesSheet sheet(prompter);
        auto* button = child<CBackColorButton>(sheet, "backColor");
        prompter.colours = {std::nullopt, 0x00FF00u};
        button->click(); // the chooser cancelled
        button->click(); // the same colour chosen again
        EXPECT_EQ(prompter.asked.at(0).kind, "colour");
        EXPECT_EQ(prompter.asked.at(0).text, std::to_string(0x00FF00));
        sheet.accept();
        EXPECT_FALSE(sheet.apply());
    }
    for (const bool ok : {false, true}) {
        CPreferencesSheet sheet(prompter);
        auto* button = child<CBackColorButton>(sheet, "backColor");
        prompter.colours = {blue};
        button->click();
        EXPECT_EQ(button->colour(), blue);
        button->resize(60, 24);
        EXPECT_EQ(button->grab().toImage().pixelColor(30, 12), QColor(0, 0, 255));
        ok ? sheet.accept() : sheet.reject();
        EXPECT_EQ(sheet.apply(), ok);
        EXPECT_EQ(settings->backColor.value, ok ? blue : 0x00FF00u) << "only OK keeps it";
    }
    EXPECT_EQ(prompter.unexpected, 0);
}

TEST_F(PreferencesSheet, ARefusedFieldKeepsItsPageInFrontAndTheSheetOpen) {
    settings->gridPixels.value = 50;
    CPreferencesSheet sheet(prompter);
    sheet.show();
    auto* tabs = child<QTabWidget>(sheet, "pages");
    tabs->setCurrentIndex(1);
    setText(sheet, "gridPixels", "");
    tabs->setCurrentIndex(2);
    EXPECT_EQ(tabs->currentIndex(), 1) << "the page cannot be left";
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text, "Please enter an integer for Minimum Grid Spacing.");
    EXPECT_TRUE(hasFocusOn(sheet, "gridPixels"));

    setText(sheet, "gridPixels", "60");
    tabs->setCurrentIndex(2);
    EXPECT_EQ(tabs->currentIndex(), 2);
    setText(sheet, "capacity", "1.5");
    sheet.accept();
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(tabs->currentIndex(), 0) << "the refused field's page comes to the front";
    EXPECT_EQ(prompter.asked.back().text, "Please enter an integer for Capacity.");
    EXPECT_FALSE(sheet.apply());
    EXPECT_EQ(settings->gridPixels.value, 50);

    // An autosave interval beyond a day is refused; a day is not.
    setText(sheet, "capacity", "1500");
    setText(sheet, "autosaveSeconds", "86401");
    sheet.accept();
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_EQ(prompter.asked.back().text, "Please enter an integer from 0 to 86400 for Autosave.");
    EXPECT_TRUE(hasFocusOn(sheet, "autosaveSeconds"));
    setText(sheet, "autosaveSeconds", "86400");
    sheet.accept();
    EXPECT_FALSE(sheet.isVisible());
    sheet.apply();
    EXPECT_EQ(settings->autosaveSeconds.value, 86400);
    EXPECT_EQ(settings->gridPixels.value, 60);
}

TEST_F(PreferencesSheet, RoadClassDefaultsAreCheckedCellByCellAndKeptOnlyOnOk) {
    // Motorways as the user set them; the trunk roads' values cannot be read and are left out.
    settings->roadClassDefaults.value = "motorway=70/3/2300/200;trunk=fast/2/2000/190";
    const auto builtIn = [](int row) { return roadClassTable().at(row).defaults; };
    const auto cells = [](const RoadClassDefaults& d) {
        return QStringList{QString::number(d.speed), QString::number(d.lanes),
                           QString::number(d.capacity), QString::number(d.jamDensity)};
    };
    const auto row = [](const QTableWidget& table, int r) {
        QStringList shown;
        for (int c = 0; c < table.columnCount(); ++c)
            shown << table.item(r, c)->text();
        return shown;
    };
    {
        CPreferencesSheet sheet(prompter);
        sheet.show();
        child<QTabWidget>(sheet, "pages")->setCurrentIndex(3);
        auto* table = child<QTableWidget>(sheet, "roadClassDefaults");
        ASSERT_EQ(table->rowCount(), static_cast<int>(roadClassTable().size()));
        EXPECT_EQ(table->verticalHeaderItem(0)->text(), "Motorway");
        EXPECT_EQ(row(*table, 0), QStringList({"70", "3", "2300", "200"}));
        EXPECT_EQ(row(*table, 2), cells(builtIn(2)));

        // Lanes of motorway ramps: nothing, none, too many, not a number.
        for (const char* typed : {"", "0", "21", "2x"}) {
            table->item(1, 1)->setText(QString::fromLatin1(typed));
            sheet.accept();
            EXPECT_TRUE(sheet.isVisible()) << typed;
            EXPECT_EQ(prompter.asked.back().text,
                      "Please enter an integer from 1 to 20 for the lanes each way of Motorway "
                      "ramp.");
            EXPECT_EQ(std::pair(table->currentRow(), table->currentColumn()), std::pair(1, 1));
            EXPECT_TRUE(hasFocusOn(sheet, "roadClassDefaults"));
        }
        table->item(1, 1)->setText(QStringLiteral(" 2 "));
        sheet.accept();
        ASSERT_FALSE(sheet.isVisible());
        sheet.apply();
    }
    RoadClassDefaultsTable saved;
    std::string why;
    EXPECT_TRUE(RoadClassDefaultsTable::parse(settings->roadClassDefaults.value, saved, why))
        << why;
    EXPECT_EQ(saved.of("motorway"), (RoadClassDefaults{70, 3, 2300, 200}));
    RoadClassDefaults ramp = builtIn(1);
    ramp.lanes = 2;
    EXPECT_EQ(saved.of("motorway_link"), ramp);
    EXPECT_EQ(saved.of("trunk"), builtIn(2));

    // Restore Defaults shows the built-in values, which only OK keeps.
    for (const bool ok : {false, true}) {
        CPreferencesSheet sheet(prompter);
        auto* table = child<QTableWidget>(sheet, "roadClassDefaults");
        child<QPushButton>(sheet, "restoreDefaults")->click();
        for (int r = 0; r < table->rowCount(); ++r)
            EXPECT_EQ(row(*table, r), cells(builtIn(r))) << r;
        ok ? sheet.accept() : sheet.reject();
        sheet.apply();
        EXPECT_EQ(settings->roadClassDefaults.value.empty(), ok);
    }
}

TEST(PreferencesSheetWithoutSettings, FailsBeforeTheSheetOpens) {
    toolkit();
    ScriptedPrompter prompter;
    EXPECT_THROW(CPreferencesSheet sheet(prompter), SingletonPtr<UserDefinedSettings>::AccessError);
}

// ---- Messages ---------------------------------------------------------------------------------

// Runs `answer` on the modal dialog of kind D once that dialog's own event loop is going.
template <class D, class F> void answerModal(F answer) {
    QTimer::singleShot(0, [answer] {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(*dialog);
    });
}

TEST(QtPrompter, AMessageShowsTheCharactersOfStoredBytesItQuotes) {
    toolkit();
    QtPrompter prompter;
    QString shown;
    answerModal<QMessageBox>([&shown](QMessageBox& box) {
        shown = box.text();
        box.button(QMessageBox::Ok)->click();
    });
    prompter.showMessage("Cannot read \"Stra\xDF"
                         "e \xC3\xA9 \x80.bmp\".",
                         Prompter::Icon::Exclamation);
    EXPECT_EQ(shown, u16(u"Cannot read \"Stra\u00DFe \u00E9 \u20AC.bmp\"."));
}

TEST(QtPrompter, AChoiceOffersTheItemsAndGivesTheOneChosenOrNoneWhenCancelled) {
    toolkit();
    QtPrompter prompter;
    for (const bool accept : {true, false}) {
        QStringList offered;
        answerModal<QInputDialog>([&offered, accept](QInputDialog& dialog) {
            offered = dialog.comboBoxItems();
            dialog.setTextValue(QStringLiteral("rails"));
            accept ? dialog.accept() : dialog.reject();
        });
        const auto chosen = prompter.chooseItem("Which layer?", {"streets", "rails"});
        EXPECT_EQ(offered, QStringList({QStringLiteral("streets"), QStringLiteral("rails")}));
        EXPECT_EQ(chosen, accept ? std::optional<std::string>("rails") : std::nullopt);
    }
}

TEST(QtPrompter, CancelInTheProgressDialogReachesTheWork) {
    toolkit();
    QtPrompter prompter;
    // Presses Cancel as soon as the dialog shows.
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QProgressDialog*>(w); dialog && dialog->isVisible())
                dialog->cancel();
    });
    watcher.start(10);
    bool stopped = false;
    prompter.runProgressTask("Loading street data...", [&](const Prompter::TaskProgress& progress) {
        // Bounded, so that a dialog that never shows fails the test instead of hanging it.
        for (int reports = 0; reports < 100000 && !stopped; ++reports) {
            stopped = !progress(0.0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_TRUE(stopped);
}

// ---- Street Data dialog ------------------------------------------------------------------------

using StreetDialog = Dialogs;

std::string ticked(const CStreetLoadDlg& dlg) {
    return dlg.choice().classes.text();
}

TEST_F(StreetDialog, ShowsTheClassesGivenAndGivesBackWhatIsTicked) {
    StreetLoadChoice initial;
    initial.classes = RoadClassChoice({"motorway", "service", "driveway"});
    CStreetLoadDlg dlg(initial);
    EXPECT_EQ(dlg.windowTitle(), "Street Data");
    for (const RoadClassInfo& info : roadClassTable())
        EXPECT_EQ(child<QCheckBox>(dlg, info.name)->text(), QString::fromUtf8(info.label));
    EXPECT_EQ(ticked(dlg), "motorway,service,driveway");
    auto* ok = child<QPushButton>(dlg, "ok");
    auto* service = child<QCheckBox>(dlg, "service");
    auto* driveway = child<QCheckBox>(dlg, "driveway");

    // A kind of service road means something only with service roads.
    EXPECT_TRUE(driveway->isEnabled());
    service->click();
    EXPECT_FALSE(driveway->isEnabled());
    EXPECT_TRUE(ok->isEnabled());
    child<QCheckBox>(dlg, "motorway")->click();
    EXPECT_FALSE(ok->isEnabled()) << "only a driveway is left, which is not a road class alone";
    child<QCheckBox>(dlg, "primary_link")->click();
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(ticked(dlg), "primary_link,driveway");

    child<QPushButton>(dlg, "all")->click();
    EXPECT_EQ(ticked(dlg), "all");
    child<QPushButton>(dlg, "default")->click();
    EXPECT_EQ(dlg.choice().classes, RoadClassChoice());

    // Railway tracks are kept beside the classes, whichever classes are ticked, and come back.
    child<QCheckBox>(dlg, "railway")->click();
    child<QPushButton>(dlg, "all")->click();
    EXPECT_EQ(ticked(dlg), "all,railway");
    StreetLoadChoice withRails;
    withRails.classes = dlg.choice().classes;
    EXPECT_TRUE(CStreetLoadDlg(withRails).choice().classes.railways());
    EXPECT_FALSE(CStreetLoadDlg(initial).choice().classes.railways());

    auto* unit = child<QComboBox>(dlg, "speedUnit");
    EXPECT_EQ(dlg.choice().speedUnit, SpeedUnit::Guess);
    for (const auto& [index, speedUnit] :
         {std::pair{1, SpeedUnit::MilesPerHour}, std::pair{2, SpeedUnit::KilometresPerHour}}) {
        unit->setCurrentIndex(index);
        EXPECT_EQ(dlg.choice().speedUnit, speedUnit);
    }

    initial.askSpeedUnit = false;
    initial.speedUnit = SpeedUnit::KilometresPerHour;
    CStreetLoadDlg osm(initial);
    EXPECT_EQ(osm.findChild<QComboBox*>(), nullptr) << "nothing to ask";
    EXPECT_EQ(osm.choice().speedUnit, SpeedUnit::KilometresPerHour);
}

TEST_F(StreetDialog, TheToolkitPrompterShowsItAndCancelGivesNothing) {
    QtPrompter qt;
    StreetLoadChoice initial;
    for (const bool accept : {true, false}) {
        answerModal<CStreetLoadDlg>([accept](CStreetLoadDlg& dialog) {
            child<QCheckBox>(dialog, "service")->click();
            child<QComboBox>(dialog, "speedUnit")->setCurrentIndex(2);
            accept ? child<QPushButton>(dialog, "ok")->click() : dialog.reject();
        });
        const std::optional<StreetLoadChoice> chosen = qt.chooseStreetLoad(initial);
        ASSERT_EQ(chosen.has_value(), accept);
        if (accept) {
            EXPECT_TRUE(chosen->classes.contains("service"));
            EXPECT_EQ(chosen->speedUnit, SpeedUnit::KilometresPerHour);
        }
    }
}

// ---- Keyboard and help ------------------------------------------------------------------------

// The letters after '&' in the texts of a dialog's labels, buttons and tabs.
std::vector<QChar> mnemonics(const QWidget& dialog) {
    std::vector<QString> texts;
    for (const QLabel* l : dialog.findChildren<QLabel*>())
        texts.push_back(l->text());
    for (const QAbstractButton* b : dialog.findChildren<QAbstractButton*>())
        texts.push_back(b->text());
    for (const QTabWidget* t : dialog.findChildren<QTabWidget*>())
        for (int i = 0; i < t->count(); ++i)
            texts.push_back(t->tabText(i));
    std::vector<QChar> letters;
    for (const QString& s : texts) {
        const qsizetype at = s.indexOf(QLatin1Char('&'));
        if (at >= 0 && at + 1 < s.size())
            letters.push_back(s[at + 1].toLower());
    }
    return letters;
}

QString shownHelpTopic() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* viewer = w->findChild<QTextBrowser*>())
            return viewer->source().fileName() + QLatin1Char('#') + viewer->source().fragment();
    return QString();
}

TEST_F(Dialogs, EveryDialogWorksFromTheKeyboardAndOpensItsHelpTopic) {
    Link* link = addLink({0, 0}, {1, 0});
    CLinkDlg linkDlg({link}, prompter);
    CNodeDlg nodeDlg(*link->fromNode(), prompter);
    CPreferencesSheet sheet(prompter);
    CStreetLoadDlg streetDlg(StreetLoadChoice{});
    CGeoreferenceDlg placeDlg(Georeference{"EPSG:2263", 988000.0, 215000.0});
    ImportSource source;
    source.fields = {"link_id", "lanes"};
    source.lengthUnit = LengthUnit::Feet;
    source.speedUnit = SpeedUnitOfSource::MilesPerHour;
    CImportMappingDlg mappingDlg(source);
    CGoToDlg goToDlg(network);
    child<QLineEdit>(goToDlg, "what")->setText(QStringLiteral("node 1"));
    CExpressionDlg selectDlg(network);
    child<QLineEdit>(selectDlg, "expression")->setText(QStringLiteral("lanes >= 0"));
    CFieldCalcDlg calculatorDlg(network, {link});
    child<QLineEdit>(calculatorDlg, "value")->setText(QStringLiteral("1900"));
    const std::pair<QDialog*, const char*> dialogs[] = {
        {&linkDlg, "link-properties.html#"},
        {&nodeDlg, "node-properties.html#"},
        {&sheet, "preferences.html#link-defaults"},
        {&streetDlg, "tiger.html#street-data"},
        {&placeDlg, "exchange.html#georeference"},
        {&mappingDlg, "exchange.html#import-fields"},
        {&goToDlg, "link-table.html#go-to"},
        {&selectDlg, "link-table.html#select-by-expression"},
        {&calculatorDlg, "link-table.html#field-calculator"}};
    for (const auto& [dialog, topic] : dialogs) {
        SCOPED_TRACE(dialog->windowTitle().toStdString());
        child<QPushButton>(*dialog, "help")->click();
        EXPECT_EQ(shownHelpTopic(), topic);
        EXPECT_TRUE(child<QPushButton>(*dialog, "ok")->isDefault());
        for (const QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->text().contains(QLatin1Char('&'))) {
                EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
            }
        }
        const std::vector<QChar> letters = mnemonics(*dialog);
        EXPECT_EQ(std::set<QChar>(letters.begin(), letters.end()).size(), letters.size())
            << "every mnemonic is different";

        dialog->show();
        press(dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        dialog->show();
        QWidget* typing = dialog->findChild<QLineEdit*>();
        press(typing ? typing : dialog->findChild<QComboBox*>(), Qt::Key_Return);
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
    }
    // The sheet's help follows the page in front.
    auto* tabs = child<QTabWidget>(sheet, "pages");
    for (const auto& [page, topic] :
         {std::pair{1, "preferences.html#graphics"}, std::pair{2, "preferences.html#precision"},
          std::pair{3, "preferences.html#road-classes"}}) {
        tabs->setCurrentIndex(page);
        child<QPushButton>(sheet, "help")->click();
        EXPECT_EQ(shownHelpTopic(), topic);
    }
    resetHelpForTesting();

    // Tab visits the link dialog's fields in reading order.
    std::vector<QString> order;
    for (QWidget* w = linkDlg.nextInFocusChain(); w != &linkDlg; w = w->nextInFocusChain()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy())
            continue;
        const QString name = qobject_cast<CIntegerEdit*>(w->parentWidget())
                                 ? w->parentWidget()->objectName()
                                 : w->objectName();
        if (!name.isEmpty())
            order.push_back(name);
    }
    const std::vector<QString> expected = {"numLanes", "capacity",   "length",     "resetLength",
                                           "ffSpeed",  "jamDensity", "inbound",    "outbound",
                                           "mainline", "workzone",   "detour1",    "detour2",
                                           "ramp",     "none",       "description"};
    ASSERT_GE(order.size(), expected.size());
    EXPECT_EQ(std::vector<QString>(order.begin(), order.begin() + expected.size()), expected);
}

} // namespace

} // namespace vantry
