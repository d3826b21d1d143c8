#include "app/linktable.h"

#include "app/activedocument.h"
#include "app/docktable.h"
#include "app/vantryapp.h"
#include "fields/linkfields.h"
#include "view/vantryview.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace vantry {

namespace {

// Edits a cell with a list of the choices for direction and type, a line of text otherwise,
// and gives what was typed to every selected row when the edited cell is one of them.
class ColumnDelegate : public QStyledItemDelegate {
public:
    ColumnDelegate(LinkTableDock& dock) : QStyledItemDelegate(&dock), dock_(dock) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        const int column = index.column();
        if (column != LinkTableModel::Direction && column != LinkTableModel::Type)
            return QStyledItemDelegate::createEditor(parent, option, index);
        auto* box = new QComboBox(parent);
        if (column == LinkTableModel::Direction)
            for (LinkDirection d : {LinkDirection::Inbound, LinkDirection::Outbound})
                box->addItem(directionName(d));
        else
            for (int t = static_cast<int>(LinkType::Mainline);
                 t <= static_cast<int>(LinkType::None); ++t)
                box->addItem(typeName(static_cast<LinkType>(t)));
        return box;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (line && refused_.isValid() && refused_ == index) {
            // Back to what was refused, selected so that it can be typed over at once.
            line->setText(refusedText_);
            line->selectAll();
            refused_ = QPersistentModelIndex();
        } else if (auto* box = qobject_cast<QComboBox*>(editor)) {
            box->setCurrentText(index.data(Qt::EditRole).toString());
        } else {
            QStyledItemDelegate::setEditorData(editor, index);
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        QString text;
        if (auto* box = qobject_cast<QComboBox*>(editor))
            text = box->currentText();
        else if (auto* line = qobject_cast<QLineEdit*>(editor))
            text = line->text();
        else
            return;
        // Leaving a cell as it was fills nothing: the other selected rows keep their values.
        if (text == index.data(Qt::EditRole).toString())
            return;
        std::vector<int> rows = dock_.selectedRows();
        if (std::find(rows.begin(), rows.end(), index.row()) == rows.end())
            rows = {index.row()};
        if (dock_.model().setColumnText(rows, index.column(), text))
            return;
        // As the dialog stays open on a refused field, the cell opens again on what was typed
        // once this editor has closed.
        refused_ = index;
        refusedText_ = text;
        QTimer::singleShot(0, dock_.table(), [table = dock_.table(), at = refused_] {
            if (at.isValid())
                table->edit(at);
        });
    }

private:
    LinkTableDock& dock_;
    mutable QPersistentModelIndex refused_;
    mutable QString refusedText_;
};

} // namespace

LinkTableDock::LinkTableDock(CVantryApp& app, QMdiArea* area, QWidget* parent)
    : QDockWidget(QStringLiteral("Link Table"), parent), app_(app),
      active_(new ActiveDocument(app, area, this)), model_(app.prompter()), table_(new DockTable),
      filter_(new QLineEdit), count_(new QLabel) {
    setObjectName(QStringLiteral("linkTableDock"));
    filter_->setObjectName(QStringLiteral("linkFilter"));
    filter_->setPlaceholderText(QStringLiteral("Filter: words of the description in any order, "
                                               "link or node numbers, or = an expression"));
    filter_->setClearButtonEnabled(true);
    table_->setObjectName(QStringLiteral("linkTable"));
    table_->setModel(&model_);
    table_->setItemDelegate(new ColumnDelegate(*this));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // A double click shows the link on the map; F2 or typing edits the cell.
    table_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    table_->setSortingEnabled(true);
    table_->sortByColumn(LinkTableModel::Number, Qt::AscendingOrder);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table_->setCommands(this);
    // Each column starts as wide as its title and typical values, measured once rather than on
    // every row, which could be a hundred thousand; the description, last, takes the rest.
    QHeaderView* header = table_->horizontalHeader();
    QFont bold = header->font();
    bold.setBold(true);
    const QFontMetrics titles(bold), cells(table_->font());
    const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) +
                       header->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header);
    const QString typical[LinkTableModel::ColumnCount] = {QStringLiteral("100000"),
                                                          QStringLiteral("100000"),
                                                          QStringLiteral("100000"),
                                                          QStringLiteral("10"),
                                                          QStringLiteral("10000"),
                                                          QStringLiteral("100.000"),
                                                          QStringLiteral("100"),
                                                          QStringLiteral("1000"),
                                                          QStringLiteral("Outbound"),
                                                          QStringLiteral("Workzone"),
                                                          QStringLiteral("Description of a road")};
    for (int c = 0; c < LinkTableModel::ColumnCount; ++c)
        table_->setColumnWidth(c, std::max(titles.horizontalAdvance(LinkTableModel::columnTitle(c)),
                                           cells.horizontalAdvance(typical[c])) +
                                      margin);
    count_->setObjectName(QStringLiteral("linkCount"));

    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(filter_, 1);
    filterRow->addWidget(count_);
    layout->addLayout(filterRow);
    layout->addWidget(table_);
    setWidget(body);
    filter_->installEventFilter(this);

    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        // Rows the filter hides stay selected on the map.
        syncing_ = true;
        model_.setFilterText(text);
        syncing_ = false;
        selectionFromView(true);
    });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LinkTableDock::selectionToView);
    connect(table_, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { showInView(index.row()); });
    connect(active_, &ActiveDocument::viewChanged, this, &LinkTableDock::follow);
    connect(active_, &ActiveDocument::documentUpdated, this, [this](ChangeKind kind) {
        if (!isVisible() || kind == ChangeKind::BackgroundChanged ||
            kind == ChangeKind::StreetsLoaded)
            return;
        // The rows are rebuilt from the network, and the selection taken again from the map,
        // whose objects may have been replaced.
        const int scrolled = table_->verticalScrollBar()->value();
        syncing_ = true;
        model_.refresh();
        syncing_ = false;
        selectionFromView(true);
        table_->verticalScrollBar()->setValue(scrolled);
    });
    connect(active_, &ActiveDocument::viewStateChanged, this, [this] { selectionFromView(false); });
    connect(table_, &QWidget::customContextMenuRequested, this, &LinkTableDock::showContextMenu);
    connect(&model_, &QAbstractItemModel::modelReset, this, &LinkTableDock::updateCount);
    connect(&model_, &QAbstractItemModel::layoutChanged, this, &LinkTableDock::updateCount);
}

QString LinkTableDock::countText() const {
    return count_->text();
}

void LinkTableDock::updateCount() {
    const int shown = model_.rowCount(), all = model_.linkCount();
    // An expression that is not a valid one keeps every row; the count says why instead.
    const QString& error = model_.filterError();
    count_->setStyleSheet(error.isEmpty() ? QString() : QStringLiteral("color: #b00000"));
    filter_->setToolTip(error);
    if (!model_.document())
        count_->clear();
    else if (!error.isEmpty())
        count_->setText(error);
    else if (model_.filterText().trimmed().isEmpty())
        count_->setText(QStringLiteral("%1 link%2").arg(all).arg(all == 1 ? "" : "s"));
    else
        count_->setText(
            QStringLiteral("%1 of %2 link%3").arg(shown).arg(all).arg(all == 1 ? "" : "s"));
}

void LinkTableDock::showEvent(QShowEvent* event) {
    QDockWidget::showEvent(event);
    active_->followActive();
    follow();
}

void LinkTableDock::showForTyping() {
    show();
    raise();
    // Floating, the table is a window of its own, which only the window manager brings in front.
    if (isFloating())
        activateWindow();
    filter_->setFocus(Qt::ShortcutFocusReason);
    filter_->selectAll();
}

bool LinkTableDock::eventFilter(QObject* watched, QEvent* event) {
    // Down or Return in the filter box goes on to the first row it found, as from a search box.
    // The arrow keys are also the map's nudge commands, so the box claims them first.
    const QEvent::Type type = event->type();
    if (watched == filter_ && (type == QEvent::KeyPress || type == QEvent::ShortcutOverride)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool onwards = key->key() == Qt::Key_Down || key->key() == Qt::Key_Return ||
                             key->key() == Qt::Key_Enter;
        if (onwards && key->modifiers() == Qt::NoModifier && model_.rowCount() > 0) {
            key->accept();
            if (type == QEvent::KeyPress) {
                table_->setFocus(Qt::ShortcutFocusReason);
                const int column = std::max(table_->currentIndex().column(), 0);
                table_->setCurrentIndex(model_.index(0, column));
            }
            return true;
        }
    }
    return QDockWidget::eventFilter(watched, event);
}

void LinkTableDock::hideEvent(QHideEvent* event) {
    QDockWidget::hideEvent(event);
    // A hidden table keeps nothing: it is built afresh when it shows again.
    if (isHidden()) {
        syncing_ = true;
        model_.setDocument(nullptr);
        syncing_ = false;
    }
}

void LinkTableDock::follow() {
    if (!isVisible() && !model_.document())
        return;
    CVantryDoc* doc = isVisible() ? active_->document() : nullptr;
    if (doc != model_.document()) {
        syncing_ = true;
        model_.setDocument(doc);
        syncing_ = false;
    }
    selectionFromView(true);
}

std::vector<int> LinkTableDock::selectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : table_->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void LinkTableDock::selectionToView() {
    if (!syncing_)
        selectOnMap(false);
}

void LinkTableDock::selectionFromView(bool always) {
    CVantryView* view = active_->view();
    if (!view || view->GetDocument() != model_.document()) {
        synced_.clear();
        return;
    }
    const std::vector<Link*>& links = view->selection().selectedLinks();
    if (!always && links == synced_)
        return;
    std::vector<int> rows;
    rows.reserve(links.size());
    for (const Link* link : links)
        if (const int row = model_.rowOf(link); row >= 0)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    QItemSelection selection;
    const int last = LinkTableModel::ColumnCount - 1;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
            ++j;
        selection.select(model_.index(rows[i], 0), model_.index(rows[j], last));
        i = j + 1;
    }
    syncing_ = true;
    table_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.empty() && links != synced_)
        table_->scrollTo(model_.index(rows.front(), 0));
    syncing_ = false;
    synced_ = links;
}

void LinkTableDock::showInView(int row) {
    CVantryView* view = active_->view();
    Link* link = model_.linkAt(row);
    if (!view || !link || view->GetDocument() != model_.document())
        return;
    view->selectOnly(nullptr, link);
    view->setClicked(nullptr, link);
    if (link->fromNode() && link->toNode()) {
        const WorldPoint a = link->fromNode()->position(), b = link->toNode()->position();
        view->transform().CenterOn({(a.x + b.x) / 2, (a.y + b.y) / 2});
    }
    view->rerender();
    selectionFromView(true);
}

bool LinkTableDock::copyRows() {
    const std::vector<int> rows = selectedRows();
    if (rows.empty())
        return false;
    QApplication::clipboard()->setText(model_.rowsAsTsv(rows));
    return true;
}

bool LinkTableDock::pasteRows() {
    const QModelIndex current = table_->currentIndex();
    return model_.pasteTsv(selectedRows(), QApplication::clipboard()->text(),
                           current.isValid() ? current.column() : 0);
}

std::vector<Link*> LinkTableDock::selectOnMap(bool centre) {
    CVantryView* view = active_->view();
    if (!view || view->GetDocument() != model_.document())
        return {};
    std::vector<Link*> links;
    for (int row : selectedRows())
        if (Link* link = model_.linkAt(row))
            links.push_back(link);
    // Rows the filter hides may still be selected on the map; what is acted on is what shows.
    Selection& selection = view->selection();
    selection.clear();
    selection.reserve(0, links.size());
    WorldPoint low{0, 0}, high{0, 0};
    bool any = false;
    for (Link* link : links) {
        selection.addLink(link);
        for (const Node* n : {link->fromNode(), link->toNode()}) {
            if (!n)
                continue;
            const WorldPoint p = n->position();
            low = any ? WorldPoint{std::min(low.x, p.x), std::min(low.y, p.y)} : p;
            high = any ? WorldPoint{std::max(high.x, p.x), std::max(high.y, p.y)} : p;
            any = true;
        }
    }
    view->setClicked(nullptr, links.empty() ? nullptr : links.back());
    synced_ = links;
    if (centre && any)
        view->transform().CenterOn({(low.x + high.x) / 2, (low.y + high.y) / 2});
    view->rerender();
    return links;
}

std::optional<CommandState> LinkTableDock::query(int id) const {
    const bool rows = table_->selectionModel()->hasSelection() && model_.rowCount() > 0;
    const bool onMap =
        rows && active_->view() && active_->view()->GetDocument() == model_.document();
    switch (id) {
    case ID_EDIT_COPY:
        return CommandState{rows, false};
    case ID_EDIT_PASTE:
        return CommandState{rows && !QApplication::clipboard()->text().isEmpty(), false};
    case ID_EDIT_CLEAR:
    case ID_EDIT_PROPERTIES:
        return CommandState{onMap, false};
    case ID_EDIT_CUT:
        return CommandState{false, false};
    default:
        return std::nullopt;
    }
}

void LinkTableDock::run(int id) {
    switch (id) {
    case ID_EDIT_COPY:
        copyRows();
        break;
    case ID_EDIT_PASTE:
        pasteRows();
        break;
    case ID_EDIT_CLEAR:
    case ID_EDIT_PROPERTIES:
        if (!selectOnMap(false).empty())
            active_->view()->execute(id);
        break;
    default:
        break;
    }
}

void LinkTableDock::showContextMenu(const QPoint& at) {
    QMenu menu(this);
    table_->addCommandItem(menu, ID_EDIT_COPY, QStringLiteral("&Copy"));
    table_->addCommandItem(menu, ID_EDIT_PASTE, QStringLiteral("&Paste"));
    menu.addSeparator();
    QAction* show = menu.addAction(QStringLiteral("&Select on Map"));
    show->setEnabled(query(ID_EDIT_CLEAR)->enabled);
    connect(show, &QAction::triggered, this, [this] { selectOnMap(true); });
    table_->addCommandItem(menu, ID_EDIT_CLEAR, QStringLiteral("&Delete"));
    table_->addCommandItem(menu, ID_EDIT_PROPERTIES, QStringLiteral("P&roperties..."));
    // The calculator starts from the selected rows, which may be none: it can also take every
    // link or those an expression matches.
    QAction* calculator = menu.addAction(QStringLiteral("&Field Calculator..."));
    calculator->setEnabled(active_->view() && active_->view()->GetDocument() == model_.document());
    connect(calculator, &QAction::triggered, this, [this] {
        selectOnMap(false);
        app_.route(ID_EDIT_FIELD_CALCULATOR);
    });
    menu.exec(table_->viewport()->mapToGlobal(at));
}

} // namespace vantry
