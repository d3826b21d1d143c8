#include "dialogs/roadclasspage.h"

#include "dialogs/fieldinput.h"
#include "document/prompter.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <algorithm>
#include <array>
#include <optional>

namespace vantry {

namespace {

constexpr long kRoadClassesHelpContext = 53;

struct Column {
    const char* heading;
    const char* name; // as a message about one of its cells names it
    std::int32_t most;
    std::int32_t RoadClassDefaults::*field;
};

const std::array<Column, 4> kColumns = {{
    {"Free-flow speed\n(mph)", "free-flow speed", kMostClassSpeed, &RoadClassDefaults::speed},
    {"Lanes\neach way", "lanes each way", kMostClassLanes, &RoadClassDefaults::lanes},
    {"Capacity\n(veh/lane/h)", "capacity", kMostClassCapacity, &RoadClassDefaults::capacity},
    {"Jam density\n(veh/lane/mile)", "jam density", kMostClassJamDensity,
     &RoadClassDefaults::jamDensity},
}};

// Cells are typed into as the integer fields of the other pages are: digits only, right-aligned.
class DigitsDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            line->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), line));
        }
        return editor;
    }
};

} // namespace

class CRoadClassPage::ClassTable : public QTableWidget {
public:
    using QTableWidget::QTableWidget;

    // The size that shows every row and every heading whole, the columns being of one width.
    QSize wholeSize() const {
        int column = 0;
        for (int c = 0; c < columnCount(); ++c)
            column =
                std::max({column, horizontalHeader()->sectionSizeHint(c), sizeHintForColumn(c)});
        return {verticalHeader()->sizeHint().width() + column * columnCount() + 2 * frameWidth(),
                horizontalHeader()->sizeHint().height() + verticalHeader()->length() +
                    2 * frameWidth()};
    }

    // Takes what is being typed into a cell before the page is read: a click on another tab
    // leaves the cell open.
    void commitOpenCell() {
        if (state() != EditingState)
            return;
        // Leaving a cell commits it and closes its editor.
        const QModelIndex at = currentIndex();
        setCurrentIndex(QModelIndex());
        setCurrentIndex(at);
    }
};

CRoadClassPage::CRoadClassPage(RoadClassDefaultsTable& values, QWidget* parent)
    : CPreferencePage(kRoadClassesHelpContext, parent), values_(values) {
    setObjectName(QStringLiteral("roadClassesPage"));
    const std::vector<RoadClassInfo>& classes = roadClassTable();

    auto* note = new QLabel(QStringLiteral("Roads populated from street data take these values "
                                           "where the data gives no lanes or speed of their own. "
                                           "Links drawn by hand take theirs from the Link "
                                           "Defaults page."),
                            this);
    note->setWordWrap(true);

    table_ =
        new ClassTable(static_cast<int>(classes.size()), static_cast<int>(kColumns.size()), this);
    table_->setObjectName(QStringLiteral("roadClassDefaults"));
    table_->setAccessibleName(QStringLiteral("Values for each road class"));
    table_->setItemDelegate(new DigitsDelegate(table_));
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    // Tab must leave the table for the buttons, or the sheet could not be used from the keyboard.
    table_->setTabKeyNavigation(false);
    QStringList headings, labels;
    for (const Column& c : kColumns)
        headings << QString::fromUtf8(c.heading);
    for (const RoadClassInfo& info : classes)
        labels << QString::fromUtf8(info.label);
    table_->setHorizontalHeaderLabels(headings);
    table_->setVerticalHeaderLabels(labels);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().lineSpacing() + 8);
    for (int row = 0; row < table_->rowCount(); ++row)
        for (int column = 0; column < table_->columnCount(); ++column) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(row, column, item);
        }
    showValues(values_);
    // Every class and every heading in view at once: the table is small, and a scroll bar or a
    // cut heading would hide what a number means.
    table_->setMinimumSize(table_->wholeSize());

    auto* caption = new QLabel(QStringLiteral("&Values for each road class:"), this);
    caption->setBuddy(table_);
    auto* restore = new QPushButton(QStringLiteral("Restore &Defaults"), this);
    restore->setObjectName(QStringLiteral("restoreDefaults"));
    restore->setAutoDefault(false);
    connect(restore, &QPushButton::clicked, this, &CRoadClassPage::restoreDefaults);

    grid()->addWidget(note, 0, 0, 1, 2);
    grid()->addWidget(caption, 1, 0, 1, 2);
    grid()->addWidget(table_, 2, 0, 1, 2);
    grid()->addWidget(restore, 3, 1, Qt::AlignRight);
}

void CRoadClassPage::showValues(const RoadClassDefaultsTable& values) {
    const std::vector<RoadClassInfo>& classes = roadClassTable();
    for (std::size_t row = 0; row < classes.size(); ++row) {
        const RoadClassDefaults& d = values.of(classes[row].name);
        for (std::size_t column = 0; column < kColumns.size(); ++column)
            table_->item(static_cast<int>(row), static_cast<int>(column))
                ->setText(QString::number(d.*kColumns[column].field));
    }
}

void CRoadClassPage::restoreDefaults() {
    showValues(RoadClassDefaultsTable());
}

bool CRoadClassPage::exchange(Prompter& prompter) {
    if (!CPreferencePage::exchange(prompter))
        return false;
    table_->commitOpenCell();
    const std::vector<RoadClassInfo>& classes = roadClassTable();
    RoadClassDefaultsTable read = values_;
    for (std::size_t row = 0; row < classes.size(); ++row) {
        RoadClassDefaults d = read.of(classes[row].name);
        for (std::size_t column = 0; column < kColumns.size(); ++column) {
            const Column& c = kColumns[column];
            QTableWidgetItem* item = table_->item(static_cast<int>(row), static_cast<int>(column));
            const std::optional<std::int32_t> value = parseIntegerText(item->text());
            if (!value || *value < 1 || *value > c.most) {
                prompter.showMessage(
                    QStringLiteral("Please enter an integer from 1 to %1 for the "
                                   "%2 of %3.")
                        .arg(c.most)
                        .arg(QString::fromUtf8(c.name), QString::fromUtf8(classes[row].label))
                        .toStdString(),
                    Prompter::Icon::Exclamation);
                table_->setCurrentItem(item);
                table_->setFocus(Qt::OtherFocusReason);
                table_->editItem(item);
                return false;
            }
            d.*c.field = *value;
        }
        read.set(classes[row].name, d);
    }
    values_ = std::move(read);
    return true;
}

} // namespace vantry
