#include "app/vantryapp.h"

#include "app/aboutdlg.h"
#include "app/childframe.h"
#include "app/commandtable.h"
#include "app/dockpanels.h"
#include "app/framestate.h"
#include "app/mainframe.h"
#include "app/propertyeditors.h"
#include "base/files.h"
#include "dialogs/dialogbuttons.h"
#include "dialogs/help.h"
#include "dialogs/preferencessheet.h"
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

namespace {

constexpr int kRecentFileCount = 4;

QSettings frameworkSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kestrin"),
                     QStringLiteral("Vantry"));
}

// Two paths name the same file when they resolve to the same absolute, canonical path.
std::string samePathKey(const std::string& path) {
    std::error_code ec;
    const auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return ec ? path : p.string();
}

} // namespace

// Resources compiled into a static library must be registered by hand.
static void initResources() {
    Q_INIT_RESOURCE(icons);
}

CVantryApp::CVantryApp(Prompter* prompter) {
    initResources();
    if (!prompter) {
        ownPrompter_ = std::make_unique<QtPrompter>();
        prompter = ownPrompter_.get();
    }
    prompter_ = prompter;
    installDialogHelpKey();
    editors_ = std::make_unique<AppPropertyEditors>(*prompter_);
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

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Vantry, the road network editor: draws and edits road networks for\n"
                       "work-zone traffic analysis. Each FILE, a network text file (.txt) or a\n"
                       "workbook (.xls), opens in a window of its own; without one an empty\n"
                       "network starts. The user's guide is under Help > Help Topics."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Network files (.txt or .xls) to open."),
                                 QStringLiteral("[FILE...]"));
    CommandLine line;
    if (!parser.parse(arguments)) {
        line.action = CommandLine::Action::Error;
        line.text = parser.errorText() + QLatin1Char('\n');
    } else if (parser.isSet(help)) {
        line.action = CommandLine::Action::Help;
        line.text = parser.helpText();
    } else if (parser.isSet(version)) {
        line.action = CommandLine::Action::Version;
        line.text = QCoreApplication::applicationName() + QLatin1Char(' ') +
                    QCoreApplication::applicationVersion() + QLatin1Char('\n');
    } else {
        line.files = parser.positionalArguments();
    }
    return line;
}

bool CVantryApp::InitInstance(const QStringList& files, bool show) {
    mainFrame_ = std::make_unique<CMainFrame>(this);
    if (ownPrompter_)
        ownPrompter_->setParent(mainFrame_.get());
    connect(mainFrame_->mdiArea(), &QMdiArea::subWindowActivated, this, [this] {
        updateCommandUI();
        QTimer::singleShot(0, this, [this] {
            if (mainFrame_)
                updateTitles();
        });
        if (CVantryView* v = activeView())
            v->OnUpdate(nullptr, ChangeKind::Redraw);
        else
            mainFrame_->setViewPaneText(QString());
    });
    // Paste is available as soon as another program puts a network on the clipboard.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &CVantryApp::updateCommandStates);
    loadRecentFiles();
    restoreFrameState(*mainFrame_);
    if (show)
        mainFrame_->show();
    keepFrameState(*mainFrame_);

    startRecovery();
    const int recovered = offerRecovery(files);
    // A named file that was just recovered is not read from the disk again: its window is
    // brought to the front.
    bool ok = files.isEmpty() && (recovered > 0 || OnFileNew() != nullptr);
    for (const QString& file : files)
        ok = OpenDocumentFile(file.toStdString()) != nullptr || ok;

    updateCommandUI();
    return ok;
}

std::string CVantryApp::recoveryFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? std::string() : (data + QStringLiteral("/recovery")).toStdString();
}

void CVantryApp::startRecovery() {
    const std::string folder = recoveryFolder();
    std::string why = "there is no folder for the program's data";
    auto store = std::make_unique<RecoveryStore>(folder);
    if (folder.empty() || !store->open(why)) {
        prompter_->showMessage("Unsaved changes cannot be kept for recovery: " + why + ".",
                               Prompter::Icon::Exclamation);
        return;
    }
    recovery_ = std::move(store);
    autosave_ = new QTimer(this);
    connect(autosave_, &QTimer::timeout, this, &CVantryApp::autosaveNow);
    restartAutosave();
}

int CVantryApp::offerRecovery(const QStringList& files) {
    if (!recovery_)
        return 0;
    std::vector<std::string> problems;
    std::vector<OrphanedRecovery> orphans = recovery_->collectOrphans(problems);
    for (const std::string& problem : problems)
        prompter_->showMessage(problem, Prompter::Icon::Exclamation);
    std::vector<std::string> named;
    for (const QString& file : files)
        named.push_back(samePathKey(absolutePath(file.toStdString())));
    std::stable_partition(orphans.begin(), orphans.end(), [&named](const OrphanedRecovery& o) {
        return !o.record.originalPath.empty() &&
               std::find(named.begin(), named.end(), samePathKey(o.record.originalPath)) !=
                   named.end();
    });
    if (orphans.empty())
        return 0;
    std::vector<std::string> listed;
    for (const OrphanedRecovery& orphan : orphans)
        listed.push_back(recoveryListing(orphan.record));
    const std::optional<std::vector<bool>> chosen = prompter_->chooseRecoveries(listed);
    // Put off: every file stays for the next start.
    if (!chosen)
        return 0;
    int recovered = 0;
    for (std::size_t i = 0; i < orphans.size(); ++i) {
        if (i < chosen->size() && (*chosen)[i]) {
            if (recoverDocument(orphans[i]))
                ++recovered;
            continue;
        }
        std::string why;
        if (!recovery_->discard(orphans[i], why))
            prompter_->showMessage(why, Prompter::Icon::Exclamation);
    }
    return recovered;
}

CVantryDoc* CVantryApp::recoverDocument(const OrphanedRecovery& orphan) {
    const RecoveryRecord& record = orphan.record;
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
    CVantryDoc* raw = doc.get();
    documents_.push_back(std::move(doc));
    createFrame(raw);
    // The network has a recovery file of this run before the old one goes.
    std::string why;
    if (!recovery_->update(*raw, why) || !recovery_->discard(orphan, why))
        prompter_->showMessage("The recovered changes to " + record.title +
                                   " are kept in the old recovery file only: " + why + ".",
                               Prompter::Icon::Exclamation);
    return raw;
}

void CVantryApp::autosaveNow() {
    if (!recovery_)
        return;
    for (const auto& doc : documents_) {
        std::string why;
        // Said once: the same failure every interval would stop the user from working.
        if (!recovery_->update(*doc, why) && !autosaveWarned_) {
            autosaveWarned_ = true;
            prompter_->showMessage("Unsaved changes cannot be kept for recovery: " + why + ".",
                                   Prompter::Icon::Exclamation);
        }
    }
}

void CVantryApp::restartAutosave() {
    if (!autosave_)
        return;
    const std::int32_t seconds = UserDefinedSettings::saneAutosaveSeconds(
        SingletonPtr<UserDefinedSettings>::instance().autosaveSeconds.value);
    if (seconds == 0)
        autosave_->stop();
    else
        autosave_->start(seconds * 1000);
}

bool CVantryApp::autosaveRunning() const {
    return autosave_ && autosave_->isActive();
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
                updateTitles();
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
    CVantryDoc* raw = doc.get();
    documents_.push_back(std::move(doc));
    createFrame(raw);
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
    CVantryDoc* raw = doc.get();
    documents_.push_back(std::move(doc));
    addRecentFile(path);
    createFrame(raw);
    return raw;
}

void CVantryApp::OnFileOpen() {
    const auto path = prompter_->chooseOpenPath(kOpenFilter);
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
    restartAutosave();
}

CVantryView* CVantryApp::OnWindowNew() {
    CVantryView* active = activeView();
    if (!active)
        return nullptr;
    CVantryView* view = createFrame(active->GetDocument());
    updateTitles();
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
    if (allow && views <= 1 && !doc->GetPathName().empty())
        addRecentFile(doc->GetPathName());
}

void CVantryApp::onFrameDestroyed(CVantryDoc* doc) {
    if (doc->views().empty()) {
        // A document closes only after its question was answered: nothing is left to recover.
        if (recovery_)
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
        targets.push_back(v->GetDocument());
        targets.push_back(activeFrame());
    }
    if (mainFrame_)
        targets.push_back(mainFrame_.get());
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
        if (t->query(id)) {
            handled = t->execute(id);
            break;
        }
    }
    if ((id == ID_FILE_SAVE || id == ID_FILE_SAVE_AS) && activeView()) {
        const CVantryDoc* doc = activeView()->GetDocument();
        if (!doc->GetPathName().empty() && !doc->IsModified())
            addRecentFile(doc->GetPathName());
    }
    // A save, or an undo back to the file's state, leaves nothing to recover.
    if (recovery_ && activeView() && !activeView()->GetDocument()->IsModified())
        recovery_->forget(*activeView()->GetDocument());
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
    updateTitles();
}

void CVantryApp::updateTitles() {
    std::map<CVantryDoc*, int> count;
    std::map<CVantryDoc*, int> seen;
    const auto windows = mainFrame_->mdiArea()->subWindowList(QMdiArea::CreationOrder);
    for (QMdiSubWindow* w : windows)
        if (auto* f = qobject_cast<CChildFrame*>(w))
            ++count[f->document()];
    for (QMdiSubWindow* w : windows) {
        auto* f = qobject_cast<CChildFrame*>(w);
        if (!f)
            continue;
        QString title = QString::fromStdString(f->document()->GetTitle());
        if (count[f->document()] > 1)
            title += QStringLiteral(":%1").arg(++seen[f->document()]);
        // The toolkit shows "[*]" as "*" while the window is marked modified.
        title += QStringLiteral("[*]");
        if (f->windowTitle() != title)
            f->setWindowTitle(title);
        f->setWindowModified(f->document()->IsModified());
    }
    // With the active window maximised its title stands in brackets, as the area's own title
    // handling has it ("NetQuill - [Network1]"); the area then adds nothing.
    QString main = QStringLiteral("NetQuill");
    if (CChildFrame* f = activeFrame())
        main += f->isMaximized() ? QStringLiteral(" - [%1]").arg(f->windowTitle())
                                 : QStringLiteral(" - ") + f->windowTitle();
    if (mainFrame_->windowTitle() != main)
        mainFrame_->setWindowTitle(main);
    const CChildFrame* active = activeFrame();
    mainFrame_->setWindowModified(active && active->isWindowModified());
}

void CVantryApp::loadRecentFiles() {
    QSettings s = frameworkSettings();
    s.beginGroup(QStringLiteral("Recent File List"));
    recent_.clear();
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString path = s.value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty())
            recent_.push_back(absolutePath(path.toStdString()));
    }
    mainFrame_->setRecentFiles(recent_);
}

void CVantryApp::saveRecentFiles() const {
    QSettings s = frameworkSettings();
    s.remove(QStringLiteral("Recent File List"));
    s.beginGroup(QStringLiteral("Recent File List"));
    for (std::size_t i = 0; i < recent_.size(); ++i)
        s.setValue(QStringLiteral("File%1").arg(i + 1), QString::fromStdString(recent_[i]));
}

void CVantryApp::addRecentFile(const std::string& path) {
    const std::string absolute = absolutePath(path);
    recent_.erase(std::remove(recent_.begin(), recent_.end(), absolute), recent_.end());
    recent_.insert(recent_.begin(), absolute);
    if (recent_.size() > kRecentFileCount)
        recent_.resize(kRecentFileCount);
    saveRecentFiles();
    if (mainFrame_)
        mainFrame_->setRecentFiles(recent_);
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
    if (id >= ID_FILE_MRU_FIRST && id < ID_FILE_MRU_FIRST + kRecentFileCount)
        return CommandState{static_cast<std::size_t>(id - ID_FILE_MRU_FIRST) < recent_.size(),
                            false};
    return std::nullopt;
}

bool CVantryApp::execute(int id) {
    const auto state = query(id);
    if (!state)
        return false;
    if (!state->enabled)
        return true;
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
        ShowHelp(nullptr, kHelpFile, HH_DISPLAY_TOPIC, 0);
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
        const std::string path = recent_[static_cast<std::size_t>(id - ID_FILE_MRU_FIRST)];
        if (!OpenDocumentFile(path)) {
            recent_.erase(std::remove(recent_.begin(), recent_.end(), path), recent_.end());
            saveRecentFiles();
            mainFrame_->setRecentFiles(recent_);
        }
        break;
    }
    }
    return true;
}
