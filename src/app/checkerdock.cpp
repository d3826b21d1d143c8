#include "app/checkerdock.h"

#include "app/activedocument.h"
#include "app/docktable.h"
#include "view/vantryview.h"

#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace vantry {

void FindingsModel::setFindings(std::vector<Finding> findings) {
    beginResetModel();
    findings_ = std::move(findings);
    endResetModel();
}

int FindingsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(findings_.size());
}

int FindingsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FindingsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= findings_.size())
        return {};
    const Finding& f = findings_[static_cast<std::size_t>(index.row())];
    if (role == Qt::ForegroundRole && index.column() == SeverityColumn &&
        f.severity == Severity::Error)
        return QBrush(Qt::darkRed);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case SeverityColumn:
        return QString::fromLatin1(severityName(f.severity));
    case RuleColumn:
        return QString::fromLatin1(f.rule);
    case ObjectColumn:
        return QStringLiteral("%1 %2")
            .arg(QLatin1String(vantry::objectName(f.object)))
            .arg(f.number);
    case MessageColumn:
        return QString::fromStdString(f.message);
    default:
        return {};
    }
}

QVariant FindingsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[] = {"Severity", "Rule", "Object", "Message"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section])
                                                 : QVariant();
}

CheckerDock::CheckerDock(CVantryApp& app, QMdiArea* area, QWidget* parent)
    : QDockWidget(QStringLiteral("Network Check"), parent),
      active_(new ActiveDocument(app, area, this)), table_(new DockTable), summary_(new QLabel) {
    setObjectName(QStringLiteral("checkerDock"));
    table_->setObjectName(QStringLiteral("findings"));
    table_->setModel(&model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    // Measured on a typical finding rather than on every row, which could be many thousands.
    const QFontMetrics metrics = table_->fontMetrics();
    table_->setColumnWidth(FindingsModel::SeverityColumn,
                           metrics.horizontalAdvance(QStringLiteral("warning")) + 16);
    table_->setColumnWidth(FindingsModel::RuleColumn,
                           metrics.horizontalAdvance(QStringLiteral("overlapping-nodes")) + 16);
    table_->setColumnWidth(FindingsModel::ObjectColumn,
                           metrics.horizontalAdvance(QStringLiteral("link 100000")) + 16);
    // The dock first opens wide enough for a message of middling length beside the other
    // columns; after that the window remembers the width the user gives it.
    const int message =
        metrics.horizontalAdvance(QStringLiteral("links leave node 10000 but none reach it")) + 16;
    int width = message + 2 * table_->frameWidth() +
                table_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table_) + 8;
    for (int c = 0; c < FindingsModel::MessageColumn; ++c)
        width += table_->columnWidth(c);
    table_->setPreferredWidth(width);
    table_->setCommands(this);
    summary_->setObjectName(QStringLiteral("findingsSummary"));

    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(summary_);
    layout->addWidget(table_);
    setWidget(body);

    connect(table_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { showInView(index.row()); });
    connect(table_, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { showInView(index.row()); });
    connect(table_, &QWidget::customContextMenuRequested, this, &CheckerDock::showContextMenu);
    connect(active_, &ActiveDocument::viewChanged, this, [this] {
        if (isVisible())
            runChecks();
    });
    connect(active_, &ActiveDocument::documentUpdated, this, [this](ChangeKind kind) {
        if (isVisible() && kind != ChangeKind::BackgroundChanged &&
            kind != ChangeKind::StreetsLoaded)
            runChecks();
    });
}

void CheckerDock::showEvent(QShowEvent* event) {
    QDockWidget::showEvent(event);
    active_->followActive();
    runChecks();
}

QString CheckerDock::summary() const {
    return summary_->text();
}

void CheckerDock::runChecks() {
    CVantryDoc* doc = active_->document();
    model_.setFindings(doc ? checkNetwork(doc->network()) : std::vector<Finding>());
    const auto& found = model_.findings();
    const auto errors = std::count_if(
        found.begin(), found.end(), [](const Finding& f) { return f.severity == Severity::Error; });
    const auto warnings = static_cast<long>(found.size()) - errors;
    if (!doc)
        summary_->setText(QStringLiteral("No network is open."));
    else if (found.empty())
        summary_->setText(QStringLiteral("No problems found."));
    else
        summary_->setText(QStringLiteral("%1 error%2, %3 warning%4")
                              .arg(errors)
                              .arg(errors == 1 ? "" : "s")
                              .arg(warnings)
                              .arg(warnings == 1 ? "" : "s"));
}

void CheckerDock::showInView(int row) {
    selectOnMap(row, true);
}

bool CheckerDock::selectOnMap(int row, bool centre) {
    CVantryView* view = active_->view();
    const auto& found = model_.findings();
    if (!view || row < 0 || static_cast<std::size_t>(row) >= found.size())
        return false;
    const Finding& f = found[static_cast<std::size_t>(row)];
    const Network& net = view->GetDocument()->network();
    const auto at = static_cast<std::size_t>(f.number - 1);
    WorldPoint middle;
    if (f.object == Finding::Object::Link) {
        if (at >= net.links().size())
            return false;
        Link* link = net.links()[at];
        view->selectOnly(nullptr, link);
        view->setClicked(nullptr, link);
        if (link->fromNode() && link->toNode()) {
            const WorldPoint a = link->fromNode()->position(), b = link->toNode()->position();
            middle = {(a.x + b.x) / 2, (a.y + b.y) / 2};
        }
    } else {
        if (at >= net.nodes().size())
            return false;
        Node* node = net.nodes()[at];
        view->selectOnly(node, nullptr);
        view->setClicked(node, nullptr);
        middle = node->position();
    }
    if (centre)
        view->transform().CenterOn(middle);
    view->rerender();
    return true;
}

int CheckerDock::selectedRow() const {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

std::optional<CommandState> CheckerDock::query(int id) const {
    const bool row = selectedRow() >= 0;
    switch (id) {
    case ID_EDIT_COPY:
        return CommandState{row, false};
    case ID_EDIT_CLEAR:
    case ID_EDIT_PROPERTIES:
        return CommandState{row && active_->view(), false};
    case ID_EDIT_CUT:
    case ID_EDIT_PASTE:
        // The list holds nothing to cut or paste into; the map's commands must not act instead.
        return CommandState{false, false};
    default:
        return std::nullopt;
    }
}

void CheckerDock::run(int id) {
    const int row = selectedRow();
    if (id == ID_EDIT_COPY) {
        QApplication::clipboard()->setText(
            QString::fromStdString(findingLine(model_.findings()[static_cast<std::size_t>(row)])) +
            QLatin1Char('\n'));
    } else if ((id == ID_EDIT_CLEAR || id == ID_EDIT_PROPERTIES) && selectOnMap(row, false)) {
        active_->view()->execute(id);
    }
}

void CheckerDock::showContextMenu(const QPoint& at) {
    QMenu menu(this);
    table_->addCommandItem(menu, ID_EDIT_COPY, QStringLiteral("&Copy"));
    menu.addSeparator();
    QAction* show = menu.addAction(QStringLiteral("&Select on Map"));
    show->setEnabled(query(ID_EDIT_CLEAR)->enabled);
    connect(show, &QAction::triggered, this, [this] { selectOnMap(selectedRow(), true); });
    table_->addCommandItem(menu, ID_EDIT_CLEAR, QStringLiteral("&Delete"));
    table_->addCommandItem(menu, ID_EDIT_PROPERTIES, QStringLiteral("P&roperties..."));
    menu.exec(table_->viewport()->mapToGlobal(at));
}

} // namespace vantry
