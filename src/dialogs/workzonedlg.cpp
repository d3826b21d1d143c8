#include "dialogs/workzonedlg.h"

#include "dialogs/dialogbuttons.h"
#include "dialogs/help.h"
#include "dialogs/integeredit.h"
#include "fields/numbertext.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace vantry {

namespace {

constexpr long kWorkZoneHelpContext = 81;
// Counts as Link Properties takes them: any whole number up to the largest a link holds.
constexpr int kMaxField = std::numeric_limits<std::int32_t>::max();

enum Column { Use, Number, Between, Links, Miles, Minutes, Extra, Shared, ColumnCount };

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

// "Links 4, 5: 1.000 mi from node 4 to node 6", what the dialog is about.
QString runText(const std::vector<Link*>& run) {
    QString ids;
    double miles = 0.0;
    for (const Link* link : run) {
        ids += (ids.isEmpty() ? QString() : QStringLiteral(", ")) + QString::number(link->id());
        miles += link->effectiveLength();
    }
    const Node* from = run.empty() ? nullptr : run.front()->fromNode();
    const Node* to = run.empty() ? nullptr : run.back()->toNode();
    return QStringLiteral("%1 %2: %3 mi from node %4 to node %5")
        .arg(run.size() == 1 ? QStringLiteral("Link") : QStringLiteral("Links"), ids)
        .arg(miles, 0, 'f', 3)
        .arg(from ? from->id() : 0)
        .arg(to ? to->id() : 0);
}

} // namespace

CWorkZoneDlg::CWorkZoneDlg(const Network& network, std::vector<Link*> run, QWidget* parent)
    : QDialog(parent), network_(network), run_(std::move(run)),
      graph_(std::make_unique<RoutingGraph>(network)) {
    setWindowTitle(QStringLiteral("Work Zone"));

    auto* runLabel = new QLabel(runText(run_), this);
    runLabel->setObjectName(QStringLiteral("run"));

    const Link* first = run_.empty() ? nullptr : run_.front();
    openLanes_ = new CIntegerEdit(QStringLiteral("the open lanes"), 1, kMaxField, this);
    openLanes_->setObjectName(QStringLiteral("openLanes"));
    openLanes_->setInteger(first ? std::max(1, first->numLanes() - 1) : 1);
    capacity_ = new CIntegerEdit(QStringLiteral("the capacity per open lane"), 1, kMaxField, this);
    capacity_->setObjectName(QStringLiteral("capacity"));
    capacity_->setInteger(first ? first->capacity() : 1);
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    auto* lanesCaption = new QLabel(QStringLiteral("&Open lanes:"), this);
    lanesCaption->setBuddy(openLanes_);
    auto* capacityCaption = new QLabel(QStringLiteral("&Capacity per open lane:"), this);
    capacityCaption->setBuddy(capacity_);
    form->addRow(lanesCaption, openLanes_);
    form->addRow(capacityCaption, capacity_);

    const int nodes = static_cast<int>(network_.nodes().size());
    from_ = new CIntegerEdit(QStringLiteral("From node"), 1, std::max(1, nodes), this);
    from_->setObjectName(QStringLiteral("fromNode"));
    to_ = new CIntegerEdit(QStringLiteral("To node"), 1, std::max(1, nodes), this);
    to_->setObjectName(QStringLiteral("toNode"));
    find_ = new QPushButton(QStringLiteral("&Find Detours"), this);
    find_->setObjectName(QStringLiteral("find"));
    find_->setAutoDefault(false);
    auto* fromCaption = new QLabel(QStringLiteral("Fro&m node:"), this);
    fromCaption->setBuddy(from_);
    auto* toCaption = new QLabel(QStringLiteral("&To node:"), this);
    toCaption->setBuddy(to_);
    auto* nodesRow = new QHBoxLayout;
    nodesRow->addWidget(fromCaption);
    nodesRow->addWidget(from_);
    nodesRow->addWidget(toCaption);
    nodesRow->addWidget(to_);
    nodesRow->addStretch();
    nodesRow->addWidget(find_);
    auto* blankHint =
        new QLabel(QStringLiteral("Leave both blank to search outward from the ends of the work "
                                  "zone along the mainline."),
                   this);
    blankHint->setWordWrap(true);

    table_ = new QTableWidget(0, ColumnCount, this);
    table_->setObjectName(QStringLiteral("detours"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Use"), QStringLiteral("Detour"), QStringLiteral("Between nodes"),
         QStringLiteral("Links"), QStringLiteral("Miles"), QStringLiteral("Minutes"),
         QStringLiteral("Extra minutes"), QStringLiteral("Shared with 1")});
    table_->verticalHeader()->hide();
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setMinimumWidth(560);
    table_->setMaximumHeight(120);
    notes_ = new QLabel(this);
    notes_->setObjectName(QStringLiteral("notes"));
    notes_->setWordWrap(true);

    auto* detourBox = new QGroupBox(QStringLiteral("Detours between"), this);
    auto* detourLayout = new QVBoxLayout(detourBox);
    detourLayout->addLayout(nodesRow);
    detourLayout->addWidget(blankHint);
    detourLayout->addWidget(table_);
    detourLayout->addWidget(notes_);

    problem_ = createProblemLabel(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(runLabel);
    layout->addLayout(form);
    layout->addWidget(detourBox);
    layout->addWidget(problem_);
    layout->addWidget(
        createDialogButtons(this, [] { showGuide(HelpRequest::Context, kWorkZoneHelpContext); }));

    connect(find_, &QPushButton::clicked, this, [this] { searchDetours(); });
    // Other nodes to run between: the list follows as soon as the field is left. Enter in the
    // field, which would also press OK, only finds them: the user sees them before choosing.
    for (CIntegerEdit* field : {from_, to_})
        connect(field, &QAbstractSpinBox::editingFinished, this, [this] {
            if (from_->text() == searchedFrom_ && to_->text() == searchedTo_)
                return;
            if (searchDetours()) {
                searchedOnEnter_ = true;
                QTimer::singleShot(0, this, [this] { searchedOnEnter_ = false; });
            }
        });
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == Use)
            emit chosenDetoursChanged(chosenDetours());
    });

    searchDetours();
    openLanes_->setFocus();
    openLanes_->selectAll();
}

CWorkZoneDlg::~CWorkZoneDlg() = default;

std::vector<std::vector<std::int32_t>> CWorkZoneDlg::chosenDetours() const {
    std::vector<std::vector<std::int32_t>> chosen;
    for (int row = 0; row < table_->rowCount(); ++row) {
        const QTableWidgetItem* use = table_->item(row, Use);
        if (use && use->checkState() == Qt::Checked &&
            static_cast<std::size_t>(row) < search_.detours.size())
            chosen.push_back(search_.detours[static_cast<std::size_t>(row)].route.links);
    }
    return chosen;
}

QString CWorkZoneDlg::notes() const {
    return notes_->text();
}

QString CWorkZoneDlg::problem() const {
    return problem_->isHidden() ? QString() : problem_->text();
}

void CWorkZoneDlg::refuse(const QString& why, QWidget* field) {
    problem_->setText(why);
    problem_->show();
    if (field) {
        field->setFocus();
        if (auto* edit = qobject_cast<CIntegerEdit*>(field))
            edit->selectAll();
    }
}

void CWorkZoneDlg::clearProblem() {
    problem_->clear();
    problem_->hide();
}

std::optional<std::pair<std::int32_t, std::int32_t>> CWorkZoneDlg::chosenNodes() {
    if (from_->isBlank() && to_->isBlank())
        return std::pair<std::int32_t, std::int32_t>{0, 0};
    if (from_->isBlank() != to_->isBlank()) {
        refuse(QStringLiteral("Give both a From node and a To node, or leave both blank to "
                              "search outward from the work zone."),
               from_->isBlank() ? from_ : to_);
        return std::nullopt;
    }
    const auto nodes = static_cast<std::int64_t>(network_.nodes().size());
    std::int32_t numbers[2] = {0, 0};
    CIntegerEdit* fields[2] = {from_, to_};
    for (int i = 0; i < 2; ++i) {
        const auto value = fields[i]->integer();
        if (!value) {
            refuse(integerFieldMessage(fields[i]->fieldName()), fields[i]);
            return std::nullopt;
        }
        if (*value < 1 || *value > nodes) {
            refuse(QStringLiteral("%1 %2 is not in the network: its nodes are numbered 1 to %3.")
                       .arg(fields[i]->fieldName())
                       .arg(*value)
                       .arg(nodes),
                   fields[i]);
            return std::nullopt;
        }
        numbers[i] = *value;
    }
    if (numbers[0] == numbers[1]) {
        refuse(QStringLiteral("The From node and the To node are both node %1: a detour runs "
                              "between two different nodes.")
                   .arg(numbers[0]),
               to_);
        return std::nullopt;
    }
    return std::pair<std::int32_t, std::int32_t>{numbers[0], numbers[1]};
}

bool CWorkZoneDlg::searchDetours() {
    const auto nodes = chosenNodes();
    if (!nodes)
        return false;
    clearProblem();
    DetourOptions options;
    options.from = nodes->first;
    options.to = nodes->second;
    search_ = findDetours(*graph_, run_, options);
    searchedFrom_ = from_->text();
    searchedTo_ = to_->text();
    showDetours();
    return true;
}

void CWorkZoneDlg::showDetours() {
    const QSignalBlocker blocker(table_);
    table_->setRowCount(static_cast<int>(search_.detours.size()));
    for (std::size_t i = 0; i < search_.detours.size(); ++i) {
        const Detour& d = search_.detours[i];
        const int row = static_cast<int>(i);
        auto* use = new QTableWidgetItem;
        use->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        use->setCheckState(Qt::Checked);
        table_->setItem(row, Use, use);
        table_->setItem(row, Number, cell(QString::number(row + 1)));
        table_->setItem(row, Between, cell(QStringLiteral("%1 to %2").arg(d.from).arg(d.to)));
        table_->setItem(row, Links, cell(QString::number(d.route.links.size())));
        table_->setItem(row, Miles, cell(QString::number(d.route.miles, 'f', 3)));
        table_->setItem(row, Minutes, cell(QString::number(d.route.minutes, 'f', 2)));
        const double extra = d.extraMinutes();
        table_->setItem(row, Extra,
                        cell(std::isfinite(extra)
                                 ? QString::asprintf("%+.2f", extra)
                                 : QStringLiteral("unknown: no mainline route to compare")));
        table_->setItem(row, Shared,
                        cell(row == 0 ? QStringLiteral("-") : QString::number(d.sharedWithFirst)));
    }
    QStringList notes;
    for (const std::string& note : search_.notes)
        notes << QString::fromStdString(note);
    if (search_.detours.empty() && notes.isEmpty())
        notes << QStringLiteral("No detour was found.");
    notes_->setText(notes.join(QLatin1Char('\n')));
    notes_->setVisible(!notes.isEmpty());
    emit chosenDetoursChanged(chosenDetours());
}

void CWorkZoneDlg::accept() {
    WorkZoneValues values;
    const auto lanes = openLanes_->integer();
    if (!lanes)
        return refuse(integerFieldMessage(openLanes_->fieldName()), openLanes_);
    const auto capacity = capacity_->integer();
    if (!capacity)
        return refuse(integerFieldMessage(capacity_->fieldName()), capacity_);
    values.openLanes = *lanes;
    values.capacityPerLane = *capacity;
    if (const auto why = workZoneValuesProblem(values)) {
        const bool lanesWrong = workZoneValuesProblem({values.openLanes, 1}).has_value();
        return refuse(QString::fromStdString(*why), lanesWrong ? openLanes_ : capacity_);
    }
    if (searchedOnEnter_) {
        searchedOnEnter_ = false;
        return;
    }
    // Nodes typed but not searched between yet: the list is brought up to date first and shown.
    if (from_->text() != searchedFrom_ || to_->text() != searchedTo_) {
        if (searchDetours())
            refuse(QStringLiteral("The detours were found again between the nodes given: check "
                                  "them and press OK again."),
                   table_);
        return;
    }
    values_ = values;
    QDialog::accept();
}

} // namespace vantry
