#include "app/vantryapp.h"

#include "app/aboutdlg.h"
#include "app/childframe.h"
#include "app/commandtable.h"
#include "app/dockpanels.h"
#include "app/exchangecommands.h"
#include "app/framestate.h"
#include "app/mainframe.h"
#include "app/propertyeditors.h"
#include "app/querycommands.h"
#include "app/recentfiles.h"
#include "app/recoverycontroller.h"
#include "app/routecommands.h"
#include "app/samefile.h"
#include "app/windowtitles.h"
#include "app/workzonecommands.h"
#include "base/files.h"
#include "dialogs/dialogbuttons.h"
#include "dialogs/help.h"
#include "dialogs/preferencessheet.h"
#include "document/networkfiles.h"
#include "document/recovery.h"
#include "document/vantrydoc.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "view/vantryview.h"

#include <QAction>
#include <QClipboard>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMdiArea>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <filesystem>

// Resources compiled into a static library must be registered by hand.
static void initResources() {
    Q_INIT_RESOURCE(icons);
}

namespace vantry {

CVantryApp::CVantryApp(Prompter* prompter) {
    initResources();
    if (!prompter) {
        ownPrompter_ = std::make_unique<QtPrompter>();
        prompter = ownPrompter_.get();
    }
    prompter_ = prompter;
    installDialogHelpKey();
    editors_ = std::make_unique<AppPropertyEditors>(*prompter_);
    recent_ = std::make_unique<RecentFiles>([this](const std::vector<std::string>& paths) {
        if (mainFrame_)
            mainFrame_->setRecentFiles(paths);
    });
    recovery_ = std::make_unique<RecoveryController>(*prompter_, documents_);
    exchange_ = std::make_unique<ExchangeCommands>(*this, *prompter_);
    queries_ = std::make_unique<QueryCommands>(*this);
    routes_ = std::make_unique<RouteCommands>(*this);
    workZones_ = std::make_unique<WorkZoneCommands>(*this, *prompter_);
}

CVantryApp::~CVantryApp() {
    // Windows go before the documents they show.
    if (mainFrame_)
        mainFrame_->mdiArea()->closeAllSubWindows();
    mainFrame_.reset();
    documents_.clear();
    // Last, so that the lock of this run stays while any of its documents lives.
    recovery_.reset();
}

bool CVantryApp::InitInstance(const QStringList& files, bool show) {
    mainFrame_ = std::make_unique<CMainFrame>(this);
    if (ownPrompter_)
        ownPrompter_->setParent(mainFrame_.get());
    connect(mainFrame_->mdiArea(), &QMdiArea::subWindowActivated, this, [this] {
        updateCommandUI();
        QTimer::singleShot(0, this, [this] {
            if (mainFrame_)
                updateWindowTitles(*mainFrame_);
        });
        if (CVantryView* v = activeView())
            v->OnUpdate(nullptr, ChangeKind::Redraw);
        else
            mainFrame_->setViewPaneText(QString());
    });
    // Paste is available as soon as another program puts a network on the clipboard.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &CVantryApp::updateCommandStates);
    recent_->load();
    restoreFrameState(*mainFrame_);
    if (show)
        mainFrame_->show();
    keepFrameState(*mainFrame_);

    recovery_->start();
    const int recovered = recovery_->offer(
        files, [this](const RecoveryRecord& record) { return recoverDocument(record); });
    // A named file that was just recovered is not read from the disk again: its window is
    // brought to the front.
    bool ok = files.isEmpty() && (recovered > 0 || OnFileNew() != nullptr);
    for (const QString& file : files)
        ok = OpenDocumentFile(file.toStdString()) != nullptr || ok;

    updateCommandUI();
    return ok;
}

CVantryDoc* CVantryApp::recoverDocument(const RecoveryRecord& record) {
    auto doc = std::make_unique<CVantryDoc>(prompter_);
    if (!doc->OnRecoverDocument(record.snapshot, record.originalPath, record.title)) {
        prompter_->showMessage(doc->lastError(), Prompter::Icon::Stop);
        return nullptr;
    }
    // A recovered new network keeps its number, and the next new one comes after it.
    if (record.originalPath.empty() && record.title.rfind("Network", 0) == 0) {
        const std::string digits = record.title.substr(7);
        if (!digits.empty() && digits.size() < 9 &&
            digits.find_first_not_of("0123456789") == std::string::npos)
            untitledCount_ = std::max(untitledCount_, std::stoi(digits));
    }
    return adopt(std::move(doc));
}

CVantryDoc* CVantryApp::adopt(std::unique_ptr<CVantryDoc> doc) {
    CVantryDoc* raw = doc.get();
    raw->addStateListener(recent_.get());
    raw->addStateListener(recovery_.get());
    documents_.push_back(std::move(doc));
    createFrame(raw);
    return raw;
}

const std::vector<std::string>& CVantryApp::recentFiles() const {
    return recent_->paths();
}

CChildFrame* CVantryApp::activeFrame() const {
    if (!mainFrame_)
        return nullptr;
    return qobject_cast<CChildFrame*>(mainFrame_->mdiArea()->activeSubWindow());
}

CVantryView* CVantryApp::activeView() const {
    CChildFrame* f = activeFrame();
    return f ? f->view() : nullptr;
}

CVantryView* CVantryApp::createFrame(CVantryDoc* doc) {
    auto* view = new CVantryView(doc);
    view->setPropertyEditors(editors_.get());
    auto* frame = new CChildFrame(view);
    connect(frame, &CChildFrame::closeRequested, this, &CVantryApp::onCloseRequested);
    connect(frame, &QObject::destroyed, this, [this, doc] { onFrameDestroyed(doc); });
    connect(view, &CVantryView::commandStateChanged, this, &CVantryApp::updateCommandUI);
    // A maximised window's title moves into the main window's. The area rewrites the main
    // title itself while it maximises or restores a window, so ours comes after it.
    connect(frame, &QMdiSubWindow::windowStateChanged, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (mainFrame_)
                updateWindowTitles(*mainFrame_);
        });
    });
    connect(view, &CVantryView::messageTextChanged, this,
            [this](const QString& text) { mainFrame_->statusBar()->showMessage(text); });
    connect(view, &CVantryView::gridTextChanged, this, [this, view](const QString& text) {
        if (activeView() == view)
            mainFrame_->setViewPaneText(text);
    });
    QMdiArea* area = mainFrame_->mdiArea();
    // While the user works in a maximised window, the next one opens maximised too, in front.
    const QMdiSubWindow* before = area->activeSubWindow();
    const bool maximised = before && before->isMaximized();
    area->addSubWindow(frame);
    // New windows overlap in steps, every title bar in sight, rather than going wherever they
    // overlap least, which for a few windows at once is the area's far corner.
    frame->setGeometry(
        mainFrame_->cascadePlace(static_cast<int>(area->subWindowList().size()) - 1));
    if (maximised)
        frame->showMaximized();
    else
        frame->show();
    view->OnInitialUpdate();
    area->setActiveSubWindow(frame);
    frame->raise();
    updateCommandUI();
    return view;
}

CVantryDoc* CVantryApp::OnFileNew() {
    auto doc = std::make_unique<CVantryDoc>(prompter_);
    doc->OnNewDocument();
    doc->SetTitle("Network" + std::to_string(++untitledCount_));
    return adopt(std::move(doc));
}

CVantryDoc* CVantryApp::newDocumentWith(Network& network) {
    auto doc = std::make_unique<CVantryDoc>(prompter_);
    doc->OnNewDocument();
    doc->network().swap(network);
    doc->SetTitle("Network" + std::to_string(++untitledCount_));
    CVantryDoc* raw = adopt(std::move(doc));
    // Marked once adopted, so that the recovery files hear of it.
    raw->SetModifiedFlag(true);
    updateCommandUI();
    return raw;
}

CVantryDoc* CVantryApp::OpenDocumentFile(const std::string& requested) {
    // Taken as absolute at once: the current folder must not decide later where a save goes.
    const std::string path = absolutePath(requested);
    const std::string key = samePathKey(path);
    for (const auto& doc : documents_) {
        if (!doc->GetPathName().empty() && samePathKey(doc->GetPathName()) == key) {
            for (QMdiSubWindow* w : mainFrame_->mdiArea()->subWindowList()) {
                auto* f = qobject_cast<CChildFrame*>(w);
                if (f && f->document() == doc.get()) {
                    mainFrame_->mdiArea()->setActiveSubWindow(f);
                    break;
                }
            }
            return doc.get();
        }
    }
    auto doc = std::make_unique<CVantryDoc>(prompter_);
    if (!doc->OnOpenDocument(path)) {
        if (!doc->openDeclined())
            prompter_->showMessage(doc->lastError(), Prompter::Icon::Stop);
        return nullptr;
    }
    doc->SetPathName(path);
    recent_->add(path);
    return adopt(std::move(doc));
}

void CVantryApp::OnFileOpen() {
    const auto path = prompter_->chooseOpenPath(networkFileFilter());
    if (!path)
        return;
    OpenDocumentFile(*path);
}

void CVantryApp::OnPreferences() {
    CPreferencesSheet sheet(*prompter_, mainFrame_.get());
    if (execWindowModal(sheet) != QDialog::Accepted)
        return;
    // A new background colour shows at once in every window; the other values apply to what
    // is drawn or created next.
    if (sheet.apply())
        for (const auto& doc : documents_)
            doc->UpdateAllViews(nullptr, ChangeKind::Redraw);
    recovery_->restartAutosave();
}

CVantryView* CVantryApp::OnWindowNew() {
    CVantryView* active = activeView();
    if (!active)
        return nullptr;
    CVantryView* view = createFrame(active->GetDocument());
    updateWindowTitles(*mainFrame_);
    return view;
}

void CVantryApp::onCloseRequested(CChildFrame* frame, bool& allow) {
    CVantryDoc* doc = frame->document();
    // Work running for the document writes into it when it ends.
    if (doc->isBusy()) {
        allow = false;
        return;
    }
    int views = 0;
    for (DocumentObserver* v : doc->views())
        if (dynamic_cast<CVantryView*>(v))
            ++views;
    // Only closing the last window of a document closes the document.
    if (views <= 1)
        allow = doc->SaveModified();
    if (allow && views <= 1)
        recent_->add(doc->GetPathName());
}

void CVantryApp::onFrameDestroyed(CVantryDoc* doc) {
    if (doc->views().empty()) {
        // A document closes only after its question was answered: nothing is left to recover.
        recovery_->forget(*doc);
        documents_.erase(std::remove_if(documents_.begin(), documents_.end(),
                                        [doc](const auto& d) { return d.get() == doc; }),
                         documents_.end());
    }
    if (mainFrame_)
        updateCommandUI();
}

bool CVantryApp::closeFrame(CChildFrame* frame) {
    return frame->close();
}

bool CVantryApp::closeDocument(CVantryDoc* doc) {
    if (doc->isBusy() || !doc->SaveModified())
        return false;
    for (QMdiSubWindow* w : mainFrame_->mdiArea()->subWindowList()) {
        auto* f = qobject_cast<CChildFrame*>(w);
        if (f && f->document() == doc) {
            // The question has been answered for the whole document.
            doc->SetModifiedFlag(false);
            f->close();
        }
    }
    return true;
}

bool CVantryApp::closeAllDocuments() {
    std::vector<CVantryDoc*> docs;
    for (const auto& d : documents_)
        docs.push_back(d.get());
    for (CVantryDoc* doc : docs)
        if (!closeDocument(doc))
            return false;
    return true;
}

std::vector<CommandTarget*> CVantryApp::routeTargets() const {
    std::vector<CommandTarget*> targets;
    // A dock's table with the focus takes the edit commands before the map.
    if (mainFrame_)
        targets.push_back(&mainFrame_->docks());
    if (CVantryView* v = activeView()) {
        targets.push_back(v);
        targets.push_back(&v->documentCommands());
    }
    if (mainFrame_)
        targets.push_back(mainFrame_.get());
    targets.push_back(exchange_.get());
    targets.push_back(queries_.get());
    targets.push_back(routes_.get());
    targets.push_back(workZones_.get());
    targets.push_back(const_cast<CVantryApp*>(this));
    return targets;
}

std::optional<CommandState> CVantryApp::queryRouted(int id) const {
    for (CommandTarget* t : routeTargets())
        if (auto state = t->query(id))
            return state;
    return std::nullopt;
}

bool CVantryApp::route(int id) {
    bool handled = false;
    for (CommandTarget* t : routeTargets()) {
        if (t->execute(id)) {
            handled = true;
            break;
        }
    }
    if (mainFrame_)
        updateCommandUI();
    return handled;
}

void CVantryApp::updateCommandUI() {
    if (!mainFrame_)
        return;
    mainFrame_->showDocumentMenus(!documents_.empty());
    updateCommandStates();
}

void CVantryApp::updateCommandStates() {
    if (!mainFrame_)
        return;
    for (const auto& [id, action] : mainFrame_->actions()) {
        const auto state = queryRouted(id);
        action->setEnabled(state && state->enabled);
        if (action->isCheckable())
            action->setChecked(state && state->checked);
        // "&Undo" says what it undoes: "&Undo Move Nodes\tCtrl+Z".
        if (const CommandInfo* info = findCommand(id); info && *info->menuText) {
            QString text = QString::fromLatin1(info->menuText);
            if (state && state->enabled && !state->object.empty())
                text += QLatin1Char(' ') + QString::fromStdString(state->object);
            if (*info->keyHint)
                text += QLatin1Char('\t') + QString::fromLatin1(info->keyHint);
            if (action->text() != text)
                action->setText(text);
        }
    }
    updateWindowTitles(*mainFrame_);
}

std::optional<CommandState> CVantryApp::query(int id) const {
    switch (id) {
    case ID_FILE_NEW:
    case ID_FILE_OPEN:
    case ID_PREFERENCES:
    case ID_HELP_FINDER:
    case ID_HELP:
    case ID_APP_ABOUT:
    case ID_APP_EXIT:
        return CommandState{true, false};
    case ID_FILE_CLOSE:
    case ID_WINDOW_NEW:
        return CommandState{activeView() != nullptr, false};
    default:
        break;
    }
    if (id >= ID_FILE_MRU_FIRST && id < ID_FILE_MRU_FIRST + static_cast<int>(RecentFiles::kCount))
        return CommandState{
            static_cast<std::size_t>(id - ID_FILE_MRU_FIRST) < recent_->paths().size(), false};
    return std::nullopt;
}

void CVantryApp::run(int id) {
    switch (id) {
    case ID_FILE_NEW:
        OnFileNew();
        break;
    case ID_FILE_OPEN:
        OnFileOpen();
        break;
    case ID_PREFERENCES:
        OnPreferences();
        break;
    case ID_FILE_CLOSE:
        if (CVantryView* v = activeView())
            closeDocument(v->GetDocument());
        break;
    case ID_WINDOW_NEW:
        OnWindowNew();
        break;
    case ID_HELP_FINDER:
        showGuide(HelpRequest::Start);
        break;
    case ID_HELP:
        OnHelpKey();
        break;
    case ID_APP_ABOUT: {
        CAboutDlg about(mainFrame_.get());
        execWindowModal(about);
        break;
    }
    case ID_APP_EXIT:
        mainFrame_->close();
        break;
    default: {
        const std::string path = recent_->paths()[static_cast<std::size_t>(id - ID_FILE_MRU_FIRST)];
        if (!OpenDocumentFile(path))
            recent_->remove(path);
        break;
    }
    }
}

} // namespace vantry
