#pragma once

#include "dialogs/preferencessheet.h"
#include "tiger/roadclasses.h"

namespace vantry {

// Road Classes: what the roads of each class carry when they are populated from street data that
// gives no lanes or speed of its own, one row per class and one column per attribute.
class CRoadClassPage : public CPreferencePage {
    Q_OBJECT
public:
    CRoadClassPage(RoadClassDefaultsTable& values, QWidget* parent = nullptr);

    // Reads every cell into the values. On the first cell that is not a whole number within its
    // column's range, it names the cell and the range, opens the cell for typing and returns
    // false, leaving the values as they were.
    bool exchange(Prompter& prompter) override;
    // Restore Defaults: shows the built-in values of every class. Like any edit on the page,
    // they are kept only when the sheet is closed with OK.
    void restoreDefaults();

private:
    class ClassTable;
    void showValues(const RoadClassDefaultsTable& values);

    RoadClassDefaultsTable& values_;
    ClassTable* table_;
};

} // namespace vantry
