#pragma once

#include "tiger/roadclasses.h"

#include <QDialog>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

class QGridLayout;
class QTabWidget;

namespace vantry {

class CBackColorButton;
class CIntegerEdit;
class Prompter;

// The user settings while the Preferences sheet edits them.
struct PreferenceValues {
    std::int32_t numLanes = 0;
    std::int32_t capacity = 0;
    std::int32_t ffSpeed = 0;
    std::int32_t jamDensity = 0;
    std::int32_t gridPixels = 0;
    // A 0x00BBGGRR colour value.
    std::uint32_t backColor = 0;
    std::int32_t precision = 0;
    std::int32_t autosaveSeconds = 0;
    RoadClassDefaultsTable roadClassDefaults;
};

// One page of the Preferences sheet: integer fields bound to values that it reads back
// together, and the help topic that belongs to it. A page with fields of other kinds reads
// them in its own exchange.
class CPreferencePage : public QWidget {
    Q_OBJECT
public:
    CPreferencePage(long helpContext, QWidget* parent = nullptr);

    long helpContext() const { return helpContext_; }
    // Reads every field into its value. On the first field that is not an integer, or not
    // within the range of a field whose range is enforced, it asks the user for one, focuses
    // the field and returns false.
    virtual bool exchange(Prompter& prompter);

protected:
    // Adds a row with a label, a field showing `value` whose arrows stay within the range, and
    // an optional unit.
    CIntegerEdit* addIntegerField(const QString& label, const QString& name, const char* objectName,
                                  int minimum, int maximum, const QString& unit,
                                  std::int32_t& value);
    QGridLayout* grid() const { return grid_; }
    // The field takes only values within its arrows' range.
    void enforceRange(CIntegerEdit* edit);

private:
    struct Binding {
        CIntegerEdit* edit;
        std::int32_t* value;
        bool inRange = false;
    };

    long helpContext_;
    QGridLayout* grid_;
    std::vector<Binding> fields_;
};

// Link Defaults: the attributes given to links drawn from now on.
class CLinkPrefsPage : public CPreferencePage {
    Q_OBJECT
public:
    CLinkPrefsPage(PreferenceValues& values, QWidget* parent = nullptr);
};

// Graphics: the grid spacing and the map's background colour, chosen with the colour chooser.
class CGraphicsPage : public CPreferencePage {
    Q_OBJECT
public:
    CGraphicsPage(PreferenceValues& values, Prompter& prompter, QWidget* parent = nullptr);

private:
    void chooseColour();

    PreferenceValues& values_;
    Prompter& prompter_;
    CBackColorButton* colourButton_;
};

// Precision: the number of decimals written when a network is saved, and how often unsaved
// changes are kept for recovery.
class CPrecisionPrefsPage : public CPreferencePage {
    Q_OBJECT
public:
    CPrecisionPrefsPage(PreferenceValues& values, QWidget* parent = nullptr);
};

// The modal tabbed Preferences sheet, editing the user settings in memory.
class CPreferencesSheet : public QDialog {
    Q_OBJECT
public:
    // Reads the settings; throws SingletonPtr<UserDefinedSettings>::AccessError when the
    // settings object does not exist.
    explicit CPreferencesSheet(Prompter& prompter, QWidget* parent = nullptr);

    // Called after exec() returned Accepted: writes every value into the user settings and
    // returns true exactly when the background colour differs from the one the sheet started
    // with, and every view of every document must then be redrawn. Does nothing and returns
    // false unless the sheet was accepted.
    bool apply();

    // Closes the sheet only when every field holds an integer; otherwise shows the page of the
    // first that does not, asks for an integer and stays open.
    void accept() override;

private:
    void showPage(int index);
    bool readPage(int index);
    void pageChanged(int index);

    Prompter& prompter_;
    PreferenceValues values_;
    std::uint32_t backColorBefore_;
    QTabWidget* tabs_;
    std::vector<CPreferencePage*> pages_;
    int currentPage_ = 0;
};

} // namespace vantry
