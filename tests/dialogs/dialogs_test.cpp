#include "dialogs/backcolorbutton.h"
#include "dialogs/help.h"
#include "dialogs/integeredit.h"
#include "dialogs/linkdlg.h"
#include "dialogs/nodedlg.h"
#include "dialogs/preferencessheet.h"
#include "dialogs/qtprompter.h"
#include "dialogs/streetloaddlg.h"
#include "model/network.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/scriptedprompter.h"
#include "support/toolkit.h"

#include "support/bytetext.h"

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
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace vantry {

namespace {

template <class T> T* child(const QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QLatin1String(name));
    if (!found)
        throw std::runtime_error(std::string("no child named ") + name);
    return found;
}

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

bool hasFocusOn(const QWidget& dialog, const char* name) {
    const QWidget* field = child<QWidget>(dialog, name);
    const QWidget* focus = dialog.focusWidget();
    return focus && (focus == field || field->isAncestorOf(focus));
}

void press(QWidget* target, int key) {
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, QString());
    QApplication::sendEvent(target, &down);
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

    SingletonPtr<UserDefinedSettings> settings;
    ScriptedPrompter prompter;
    Network network;
};

// ---- Link dialog, one link --------------------------------------------------------------------

using LinkDialog = Dialogs;

TEST_F(LinkDialog, OneLinkIsShownWholeWrittenBackAndSurvivesAnUntouchedRoundTrip) {
    addLink({0, 0}, {1, 0});
    Link* link = addLink({0, 0}, {3, 4});
    link->setNumLanes(3);
    link->setCapacity(1800);
    link->setFFSpeed(55);
    link->setJamDensity(200);
    link->setDirection(LinkDirection::Outbound);
    link->setType(LinkType::Ramp);
    link->setDescription("Elm St");
    link->setLength(7.25f);

    CLinkDlg dlg({link}, prompter);
    EXPECT_EQ(dlg.windowTitle(), "Link 2 Properties");
    EXPECT_EQ(text(dlg, "numLanes"), "3");
    EXPECT_EQ(text(dlg, "capacity"), "1800");
    EXPECT_EQ(text(dlg, "length"), "7.250");
    EXPECT_EQ(text(dlg, "ffSpeed"), "55");
    EXPECT_EQ(text(dlg, "jamDensity"), "200");
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
    EXPECT_EQ(link->numLanes(), 12);
    EXPECT_EQ(link->capacity(), 2000);
    EXPECT_EQ(link->effectiveLength(), 6.5f);
    EXPECT_EQ(link->ffSpeed(), 60);
    EXPECT_EQ(link->jamDensity(), 180);
    EXPECT_EQ(link->direction(), LinkDirection::Inbound);
    EXPECT_EQ(link->type(), LinkType::Detour2);
    EXPECT_EQ(link->description(), "Oak Ave");

    // Lengths the box can show only rounded come back unchanged, automatic ones stay automatic.
    link->setLength(1.23456f);
    Link* automatic = addLink({0, 0}, {1.23456f, 0});
    for (Link* l : {link, automatic}) {
        const float before = l->effectiveLength();
        const bool wasAutomatic = l->hasAutomaticLength();
        CLinkDlg again({l}, prompter);
        EXPECT_EQ(text(again, "length"), "1.235");
        again.accept();
        again.apply();
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
    {
        CLinkDlg dlg({link}, prompter);
        child<QPushButton>(dlg, "resetLength")->click();
        dlg.accept();
        dlg.apply();
        EXPECT_TRUE(link->hasAutomaticLength());
        EXPECT_FLOAT_EQ(link->effectiveLength(), 1.23456f);
    }
    {
        link->setLength(9.0f);
        CLinkDlg dlg({link}, prompter);
        child<QPushButton>(dlg, "resetLength")->click();
        setText(dlg, "length", "2");
        dlg.accept();
        dlg.apply();
        EXPECT_FALSE(link->hasAutomaticLength()) << "a typed length is kept as typed";
        EXPECT_EQ(link->effectiveLength(), 2.0f);
    }
}

// ---- Link dialog, description bytes -----------------------------------------------------------

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

struct DescriptionEdit {
    const char* name;
    std::string stored;
    const char16_t* shown;
    int from, to;
    const char16_t* typed;
    std::string written;
};

void PrintTo(const DescriptionEdit& e, std::ostream* os) {
    *os << e.name;
}

class LinkDialogDescription : public Dialogs,
                              public ::testing::WithParamInterface<DescriptionEdit> {};

TEST_P(LinkDialogDescription, ShowsTheStoredCharactersAndKeepsEveryByteAnEditDidNotTouch) {
    const DescriptionEdit& e = GetParam();
    Link* link = addLink({0, 0}, {1, 0});
    link->setDescription(e.stored);
    {
        CLinkDlg dlg({link}, prompter);
        EXPECT_EQ(descriptionBox(dlg)->toPlainText(), u16(e.shown));
        dlg.accept();
        dlg.apply();
        EXPECT_EQ(hex(link->description()), hex(e.stored)) << "left as shown";
    }
    {
        CLinkDlg dlg({link}, prompter);
        typeInto(descriptionBox(dlg), e.from, e.to, u16(e.typed));
        dlg.accept();
        dlg.apply();
        EXPECT_EQ(hex(link->description()), hex(e.written));
    }
    CLinkDlg again({link}, prompter);
    EXPECT_EQ(descriptionBox(again)->toPlainText(),
              u16(e.shown).replace(e.from, e.to - e.from, u16(e.typed)));
}

INSTANTIATE_TEST_SUITE_P(
    Descriptions, LinkDialogDescription,
    ::testing::Values(
        DescriptionEdit{"Utf8", "Caf\xC3\xA9 \xD0\x96 Rd", u"Caf\u00E9 \u0416 Rd", 5, 6, u"\u20AC",
                        "Caf\xC3\xA9 \xE2\x82\xAC Rd"},
        DescriptionEdit{"Cp1252Middle", "Caf\xE9 \x93Noir\x94", u"Caf\u00E9 \u201CNoir\u201D", 6,
                        10, u"Cr\u00E8me",
                        "Caf\xE9 \x93"
                        "Cr\xE8me\x94"},
        DescriptionEdit{"Cp1252Start", "Caf\xE9 \xE0 Paris", u"Caf\u00E9 \u00E0 Paris", 0, 0,
                        u"\u00C0 ", "\xC0 Caf\xE9 \xE0 Paris"},
        DescriptionEdit{"Cp1252EndEuro", "Caf\xE9 5", u"Caf\u00E9 5", 6, 6, u" \u20AC",
                        "Caf\xE9 5 \x80"},
        DescriptionEdit{"Cp1252OutsideTheCodePage", "Caf\xE9 5", u"Caf\u00E9 5", 6, 6, u" \u0416",
                        "Caf\xE9 5 \xD0\x96"},
        DescriptionEdit{"Mixed",
                        "Caf\xE9 Stra\xC3\x9F"
                        "e",
                        u"Caf\u00E9 Stra\u00DFe", 0, 1, u"K",
                        "Kaf\xE9 Stra\xC3\x9F"
                        "e"},
        DescriptionEdit{"InvalidSequences", "\xE2\x82|\xF0\x9F\x98|\xC0\xAF|\x81\x8D|\xBF",
                        u"\u00E2\u201A|\u00F0\u0178\u02DC|\u00C0\u00AF|\u0081\u008D|\u00BF", 6, 7,
                        u"/", "\xE2\x82|\xF0\x9F\x98/\xC0\xAF|\x81\x8D|\xBF"}),
    [](const ::testing::TestParamInfo<DescriptionEdit>& info) { return info.param.name; });

TEST_F(LinkDialog, TypedLineBreaksBecomeSpacesAndStoredBytesAroundThemStay) {
    Link* typed = addLink({0, 0}, {1, 0});
    {
        CLinkDlg dlg({typed}, prompter);
        descriptionBox(dlg)->setPlainText("Main St\r\nnorth\rof\n\n5th");
        dlg.accept();
        dlg.apply();
        EXPECT_EQ(typed->description(), "Main St north of  5th");
    }

    // A workbook cell can hold a line break; the box shows it, and a no-break space as a space.
    Link* stored = addLink({0, 0}, {1, 0});
    stored->setDescription("Caf\xE9\r\nMain\xA0St");
    {
        CLinkDlg dlg({stored}, prompter);
        QPlainTextEdit* box = descriptionBox(dlg);
        EXPECT_EQ(box->toPlainText(), u16(u"Caf\u00E9\nMain St"));
        typeInto(box, 12, 12, QStringLiteral("\r\nnorth\rof\n\n5th"));
        dlg.accept();
        dlg.apply();
        EXPECT_EQ(hex(stored->description()), hex("Caf\xE9\r\nMain\xA0St north of  5th"));
    }
    CLinkDlg dlg({stored}, prompter);
    typeInto(descriptionBox(dlg), 4, 4, QStringLiteral("!"));
    dlg.accept();
    dlg.apply();
    EXPECT_EQ(hex(stored->description()), hex("Caf\xE9!\r\nMain\xA0St north of  5th"));
}

struct RefusedField {
    const char* name;
    const char* text;
    const char* message;
};

class LinkDialogRefusal : public Dialogs, public ::testing::WithParamInterface<RefusedField> {};

TEST_P(LinkDialogRefusal, NamesTheFieldFocusesItAndStaysOpenWithoutStoringAnything) {
    Link* link = addLink({0, 0}, {1, 0});
    link->setNumLanes(2);
    link->setCapacity(1400);
    CLinkDlg dlg({link}, prompter);
    dlg.show();
    setText(dlg, "numLanes", "4");
    setText(dlg, GetParam().name, GetParam().text);
    dlg.accept();
    EXPECT_TRUE(dlg.isVisible());
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text, GetParam().message);
    EXPECT_TRUE(hasFocusOn(dlg, GetParam().name));
    dlg.apply();
    EXPECT_EQ(link->numLanes(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, LinkDialogRefusal,
    ::testing::Values(
        RefusedField{"numLanes", "two", "Please enter an integer for Number of Lanes."},
        RefusedField{"capacity", "14 00", "Please enter an integer for Capacity."},
        RefusedField{"ffSpeed", "", "Please enter an integer for Free-flow Speed."},
        RefusedField{"jamDensity", "2147483648", "Please enter an integer for Jam Density."},
        RefusedField{"length", "about 2", "Please enter a number of miles for Length."},
        RefusedField{"length", "inf", "Please enter a number of miles for Length."}));

// ---- Link dialog, several links ---------------------------------------------------------------

TEST_F(LinkDialog, SeveralLinksShowWhatTheyShareAndOnlyFilledInAttributesAreApplied) {
    Link* a = addLink({0, 0}, {1, 0});
    Link* b = addLink({0, 0}, {0, 2});
    for (Link* l : {a, b}) {
        l->setNumLanes(2);
        l->setJamDensity(190);
        l->setDirection(LinkDirection::Outbound);
    }
    a->setCapacity(1400);
    b->setCapacity(1800);
    a->setFFSpeed(50);
    b->setFFSpeed(60);
    a->setType(LinkType::Mainline);
    b->setType(LinkType::Workzone);
    a->setLength(3.0f);
    a->setDescription("first");
    b->setDescription("second");

    auto unchangedLengthsAndDescriptions = [&] {
        EXPECT_EQ(a->effectiveLength(), 3.0f);
        EXPECT_TRUE(b->hasAutomaticLength());
        EXPECT_EQ(a->description(), "first");
        EXPECT_EQ(b->description(), "second");
    };
    {
        CLinkDlg dlg({a, b}, prompter);
        EXPECT_EQ(dlg.windowTitle(), "Multiple Link Properties");
        EXPECT_EQ(text(dlg, "numLanes"), "2");
        EXPECT_EQ(text(dlg, "capacity"), "") << "differing values are not shown";
        EXPECT_EQ(text(dlg, "ffSpeed"), "");
        EXPECT_EQ(text(dlg, "jamDensity"), "190");
        EXPECT_TRUE(child<QRadioButton>(dlg, "outbound")->isChecked());
        for (const char* type : {"mainline", "workzone", "detour1", "detour2", "ramp", "none"})
            EXPECT_FALSE(child<QRadioButton>(dlg, type)->isChecked()) << type;
        for (const char* disabled : {"length", "resetLength", "description"})
            EXPECT_FALSE(child<QWidget>(dlg, disabled)->isEnabled()) << disabled;
        dlg.accept();
        dlg.apply();
        EXPECT_EQ(a->capacity(), 1400);
        EXPECT_EQ(b->capacity(), 1800);
        EXPECT_EQ(a->type(), LinkType::Mainline);
        EXPECT_EQ(b->type(), LinkType::Workzone);
        unchangedLengthsAndDescriptions();
    }
    {
        CLinkDlg dlg({a, b}, prompter);
        setText(dlg, "numLanes", "");
        setText(dlg, "capacity", "1600");
        setText(dlg, "jamDensity", "x");
        dlg.accept();
        ASSERT_EQ(prompter.asked.size(), 1u);
        EXPECT_EQ(prompter.asked[0].text, "Please enter an integer for Jam Density.");
        setText(dlg, "jamDensity", "200");
        child<QRadioButton>(dlg, "ramp")->click();
        child<QRadioButton>(dlg, "inbound")->click();
        dlg.accept();
        dlg.apply();
        for (Link* l : {a, b}) {
            EXPECT_EQ(l->numLanes(), 2) << "an emptied field leaves the values";
            EXPECT_EQ(l->capacity(), 1600);
            EXPECT_EQ(l->jamDensity(), 200);
            EXPECT_EQ(l->direction(), LinkDirection::Inbound);
            EXPECT_EQ(l->type(), LinkType::Ramp);
        }
        EXPECT_EQ(a->ffSpeed(), 50);
        EXPECT_EQ(b->ffSpeed(), 60);
        unchangedLengthsAndDescriptions();
    }
}

// ---- Integer fields ---------------------------------------------------------------------------

TEST_F(Dialogs, IntegerFieldArrowsStopAtTheRangeEndsAndTypingTakesDigitsOnly) {
    Link* link = addLink({0, 0}, {1, 0});
    CLinkDlg linkDlg({link}, prompter);
    CPreferencesSheet sheet(prompter);
    const std::vector<std::tuple<const QWidget*, const char*, int, int>> ranges = {
        {&linkDlg, "numLanes", 0, 10},   {&linkDlg, "capacity", 0, 10000},
        {&linkDlg, "ffSpeed", 0, 100},   {&linkDlg, "jamDensity", 0, 1000},
        {&sheet, "numLanes", 0, 10},     {&sheet, "capacity", 0, 10000},
        {&sheet, "ffSpeed", 0, 100},     {&sheet, "jamDensity", 0, 1000},
        {&sheet, "gridPixels", 20, 100}, {&sheet, "precision", 0, 10}};
    for (const auto& [dialog, name, low, high] : ranges) {
        auto* edit = child<CIntegerEdit>(*dialog, name);
        edit->setText(QString());
        edit->stepBy(1);
        EXPECT_EQ(edit->text(), QString::number(low)) << name << ": an empty field starts low";
        edit->setInteger(high - 1);
        edit->stepBy(5);
        EXPECT_EQ(edit->text(), QString::number(high)) << name;
        edit->setInteger(high + 7);
        edit->stepBy(-1);
        EXPECT_EQ(edit->text(), QString::number(high)) << name << ": back into the range";
        edit->setInteger(low + 1);
        edit->stepBy(-5);
        EXPECT_EQ(edit->text(), QString::number(low)) << name;
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
        EXPECT_EQ(text(dlg, "x"), "12.3457");
        EXPECT_EQ(text(dlg, "y"), "-1.23457e-05");
        dlg.accept();
        dlg.apply();
        EXPECT_EQ(node->x(), 12.3456789f) << "an untouched box keeps the exact value";
        EXPECT_EQ(node->y(), -0.0000123456789f);
    }
    {
        CNodeDlg dlg(*node, prompter);
        setText(dlg, "x", " -3.25 ");
        setText(dlg, "y", "+1e2");
        dlg.reject();
        dlg.apply();
        EXPECT_EQ(node->x(), 12.3456789f) << "Cancel changes nothing";
        dlg.accept();
        dlg.apply();
        EXPECT_EQ(node->x(), -3.25f);
        EXPECT_EQ(node->y(), 100.0f);
    }
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(NodeDialog, RefusesAnythingButOneFiniteNumberAndStaysOpen) {
    Node* node = new Node(WorldPoint{1.0f, 2.0f});
    network.addNode(node);
    for (const char* box : {"x", "y"}) {
        for (const char* typed : {"", "  ", "abc", "1.5x", "1,5", "--1", "inf", "nan", "1e39"}) {
            prompter.asked.clear();
            CNodeDlg dlg(*node, prompter);
            dlg.show();
            setText(dlg, box, typed);
            dlg.accept();
            EXPECT_TRUE(dlg.isVisible()) << box << " '" << typed << "'";
            ASSERT_EQ(prompter.asked.size(), 1u);
            EXPECT_EQ(prompter.asked[0].text,
                      std::string("Please enter a number for ") + (box[0] == 'x' ? "X." : "Y."));
            EXPECT_TRUE(hasFocusOn(dlg, box));
            dlg.apply();
            EXPECT_EQ(node->x(), 1.0f);
            EXPECT_EQ(node->y(), 2.0f);
        }
    }
}

// ---- Preferences sheet ------------------------------------------------------------------------

using PreferencesSheet = Dialogs;

TEST_F(PreferencesSheet, ShowsTheSettingsAndOkWritesThemAllBackWithoutRangeChecks) {
    settings->defaultNumLanes.value = 2;
    settings->defaultCapacity.value = 1400;
    settings->defaultFFSpeed.value = 50;
    settings->defaultJamDensity.value = 190;
    settings->gridPixels.value = 50;
    settings->backColor.value = 0xFFFFFF;
    settings->precision.value = 3;
    settings->autosaveSeconds.value = 60;

    CPreferencesSheet sheet(prompter);
    EXPECT_EQ(sheet.windowTitle(), "Preferences");
    auto* tabs = child<QTabWidget>(sheet, "pages");
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->currentIndex(), 0);
    const QStringList shown = {text(sheet, "numLanes"),       text(sheet, "capacity"),
                               text(sheet, "ffSpeed"),        text(sheet, "jamDensity"),
                               text(sheet, "gridPixels"),     text(sheet, "precision"),
                               text(sheet, "autosaveSeconds")};
    EXPECT_EQ(shown, QStringList({"2", "1400", "50", "190", "50", "3", "60"}));
    EXPECT_EQ(child<CBackColorButton>(sheet, "backColor")->colour(), 0xFFFFFFu);

    setText(sheet, "numLanes", "4");
    setText(sheet, "capacity", "1900");
    setText(sheet, "ffSpeed", "65");
    setText(sheet, "jamDensity", "210");
    setText(sheet, "gridPixels", "5");
    setText(sheet, "precision", "15");
    setText(sheet, "autosaveSeconds", "0");
    EXPECT_FALSE(sheet.apply()) << "nothing is written before OK";
    EXPECT_EQ(settings->defaultNumLanes.value, 2);
    sheet.accept();
    ASSERT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_FALSE(sheet.apply()) << "the colour did not change";
    EXPECT_EQ(settings->defaultNumLanes.value, 4);
    EXPECT_EQ(settings->defaultCapacity.value, 1900);
    EXPECT_EQ(settings->defaultFFSpeed.value, 65);
    EXPECT_EQ(settings->defaultJamDensity.value, 210);
    EXPECT_EQ(settings->gridPixels.value, 5);
    EXPECT_EQ(settings->backColor.value, 0xFFFFFFu);
    EXPECT_EQ(settings->precision.value, 15);
    EXPECT_EQ(settings->autosaveSeconds.value, 0);
}

TEST_F(PreferencesSheet, AnAutosaveIntervalBeyondADayIsRefused) {
    settings->autosaveSeconds.value = 60;
    CPreferencesSheet sheet(prompter);
    sheet.show();
    auto* tabs = child<QTabWidget>(sheet, "pages");
    tabs->setCurrentIndex(2);
    setText(sheet, "autosaveSeconds", "86401");
    sheet.accept();
    EXPECT_TRUE(sheet.isVisible());
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text, "Please enter an integer from 0 to 86400 for Autosave.");
    EXPECT_TRUE(hasFocusOn(sheet, "autosaveSeconds"));
    setText(sheet, "autosaveSeconds", "86400");
    sheet.accept();
    EXPECT_FALSE(sheet.isVisible());
    sheet.apply();
    EXPECT_EQ(settings->autosaveSeconds.value, 86400);
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
    {
        CPreferencesSheet sheet(prompter);
        auto* button = child<CBackColorButton>(sheet, "backColor");
        prompter.colours = {blue};
        button->click();
        EXPECT_EQ(button->colour(), blue);
        button->resize(60, 24);
        EXPECT_EQ(button->grab().toImage().pixelColor(30, 12), QColor(0, 0, 255));
        sheet.reject();
        EXPECT_FALSE(sheet.apply());
        EXPECT_EQ(settings->backColor.value, 0x00FF00u) << "Cancel keeps the old colour";
    }
    {
        CPreferencesSheet sheet(prompter);
        prompter.colours = {blue};
        child<CBackColorButton>(sheet, "backColor")->click();
        sheet.accept();
        EXPECT_TRUE(sheet.apply());
        EXPECT_EQ(settings->backColor.value, blue);
    }
    EXPECT_EQ(prompter.unexpected, 0);
}

TEST_F(PreferencesSheet, AFieldThatIsNoIntegerKeepsItsPageInFrontAndTheSheetOpen) {
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

TEST(QtPrompterMessage, ShowsTheCharactersOfStoredBytesItQuotes) {
    toolkit();
    QtPrompter prompter;
    QString shown;
    // Runs once the message box's own event loop is going, and answers it.
    QTimer::singleShot(0, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    prompter.showMessage("Cannot read \"Stra\xDF"
                         "e \xC3\xA9 \x80.bmp\".",
                         Prompter::Icon::Exclamation);
    EXPECT_EQ(shown, u16(u"Cannot read \"Stra\u00DFe \u00E9 \u20AC.bmp\"."));
}

TEST(QtPrompterChoice, OffersTheItemsAndGivesTheOneChosenOrNoneWhenCancelled) {
    toolkit();
    QtPrompter prompter;
    const std::vector<std::string> layers = {"streets", "rails"};
    for (const bool accept : {true, false}) {
        QStringList offered;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            offered = dialog->comboBoxItems();
            dialog->setTextValue(QStringLiteral("rails"));
            accept ? dialog->accept() : dialog->reject();
        });
        const auto chosen = prompter.chooseItem("Which layer?", layers);
        EXPECT_EQ(offered, QStringList({QStringLiteral("streets"), QStringLiteral("rails")}));
        EXPECT_EQ(chosen, accept ? std::optional<std::string>("rails") : std::nullopt);
    }
}

TEST(QtPrompterProgress, CancelInTheProgressDialogReachesTheWork) {
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
    int reports = 0;
    bool stopped = false;
    prompter.runProgressTask("Loading street data...", [&](const Prompter::TaskProgress& progress) {
        // Bounded, so that a dialog that never shows fails the test instead of hanging it.
        for (; reports < 100000 && !stopped; ++reports) {
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
    const std::pair<int, SpeedUnit> units[] = {{1, SpeedUnit::MilesPerHour},
                                               {2, SpeedUnit::KilometresPerHour}};
    for (const auto& [index, speedUnit] : units) {
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
        QTimer::singleShot(0, [accept] {
            auto* dialog = qobject_cast<CStreetLoadDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            child<QCheckBox>(*dialog, "service")->click();
            child<QComboBox>(*dialog, "speedUnit")->setCurrentIndex(2);
            accept ? child<QPushButton>(*dialog, "ok")->click() : dialog->reject();
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

TEST_F(Dialogs, EveryDialogWorksFromTheKeyboard) {
    Link* link = addLink({0, 0}, {1, 0});
    CLinkDlg linkDlg({link}, prompter);
    CNodeDlg nodeDlg(*link->fromNode(), prompter);
    CPreferencesSheet sheet(prompter);
    CStreetLoadDlg streetDlg(StreetLoadChoice{});
    for (QDialog* dialog :
         std::initializer_list<QDialog*>{&linkDlg, &nodeDlg, &sheet, &streetDlg}) {
        EXPECT_TRUE(child<QPushButton>(*dialog, "ok")->isDefault());
        for (const QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->text().contains(QLatin1Char('&'))) {
                EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
            }
        }
        const std::vector<QChar> letters = mnemonics(*dialog);
        EXPECT_EQ(std::set<QChar>(letters.begin(), letters.end()).size(), letters.size())
            << dialog->windowTitle().toStdString() << ": every mnemonic is different";

        dialog->show();
        press(dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        dialog->show();
        QWidget* typing = dialog->findChild<QLineEdit*>();
        press(typing ? typing : dialog->findChild<QComboBox*>(), Qt::Key_Return);
        EXPECT_EQ(dialog->result(), QDialog::Accepted) << dialog->windowTitle().toStdString();
    }

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

TEST_F(Dialogs, HelpOpensTheTopicOfTheDialogOrOfThePageInFront) {
    auto shownTopic = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* viewer = w->findChild<QTextBrowser*>())
                return viewer->source().fileName() + QLatin1Char('#') + viewer->source().fragment();
        return QString();
    };
    Link* link = addLink({0, 0}, {1, 0});
    CLinkDlg linkDlg({link}, prompter);
    child<QPushButton>(linkDlg, "help")->click();
    EXPECT_EQ(shownTopic(), "link-properties.html#");
    CNodeDlg nodeDlg(*link->toNode(), prompter);
    child<QPushButton>(nodeDlg, "help")->click();
    EXPECT_EQ(shownTopic(), "node-properties.html#");

    CPreferencesSheet sheet(prompter);
    auto* tabs = child<QTabWidget>(sheet, "pages");
    for (const auto& [page, topic] :
         {std::pair{0, "preferences.html#link-defaults"}, std::pair{1, "preferences.html#graphics"},
          std::pair{2, "preferences.html#precision"},
          std::pair{3, "preferences.html#road-classes"}}) {
        tabs->setCurrentIndex(page);
        child<QPushButton>(sheet, "help")->click();
        EXPECT_EQ(shownTopic(), topic);
    }
    CStreetLoadDlg streetDlg(StreetLoadChoice{});
    child<QPushButton>(streetDlg, "help")->click();
    EXPECT_EQ(shownTopic(), "tiger.html#street-data");
    resetHelpForTesting();
}

} // namespace

} // namespace vantry
