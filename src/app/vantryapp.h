#pragma once

#include "app/commandline.h"
#include "dialogs/qtprompter.h"
#include "view/commands.h"

#include <QObject>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

namespace vantry {

class AppPropertyEditors;
class ExchangeCommands;
class QueryCommands;
class RouteCommands;
class WorkZoneCommands;
class Network;
class RecentFiles;
class RecoveryController;
struct RecoveryRecord;

class CChildFrame;
class CMainFrame;
class CVantryDoc;
class CVantryView;

// The application: its documents and their windows, the command routing from the active view
// to the application, the recent-file list, and start-up from the command line.
class CVantryApp : public QObject, public CommandTarget {
    Q_OBJECT
public:
    // The prompter is the toolkit's dialogs unless one is given (tests script the answers).
    explicit CVantryApp(Prompter* prompter = nullptr);
    ~CVantryApp() override;

    // Creates the main window where the previous run left it, offers back the unsaved changes
    // of runs that ended without saving them (those of the named files first), and carries
    // out the command line (the files named after the program name): no file gives a new
    // empty network, each named file opens in its own window. False, after telling the user
    // why, when none of the named files can be opened or recovered.
    bool InitInstance(const QStringList& files, bool show = true);

    CMainFrame* mainFrame() const { return mainFrame_.get(); }
    Prompter& prompter() { return *prompter_; }
    const std::vector<std::unique_ptr<CVantryDoc>>& documents() const { return documents_; }
    CVantryView* activeView() const;
    CChildFrame* activeFrame() const;

    CVantryDoc* OnFileNew();
    // A new untitled document holding the network (taken by swapping), with its window; it is
    // modified, so that closing it asks to save.
    CVantryDoc* newDocumentWith(Network& network);
    // Opens a network file into a new document (or activates the window of a document that
    // already shows it). On failure the user is told which file and why.
    CVantryDoc* OpenDocumentFile(const std::string& path);
    CVantryView* OnWindowNew();
    bool closeFrame(CChildFrame* frame);
    bool closeDocument(CVantryDoc* doc);
    bool closeAllDocuments();
    const std::vector<std::string>& recentFiles() const;

    // File > Export and File > Import.
    ExchangeCommands& exchange() const { return *exchange_; }
    // Go To, Select by Expression and the Field Calculator.
    QueryCommands& queries() const { return *queries_; }
    // Network > Route.
    RouteCommands& routes() const { return *routes_; }
    // Network > Work Zone.
    WorkZoneCommands& workZones() const { return *workZones_; }
    // The unsaved changes kept for recovery, and their autosave timer.
    RecoveryController& recovery() const { return *recovery_; }

    // Routing: the active view, its document, the child frame, the main frame, the application.
    std::optional<CommandState> queryRouted(int id) const;
    bool route(int id);

    std::optional<CommandState> query(int id) const override;

protected:
    void run(int id) override;

public slots:
    // Chooses the menu set for whether a document is open, then brings the items' states and
    // the titles up to date.
    void updateCommandUI();
    // The one place where menu items and buttons are enabled and checked.
    void updateCommandStates();

private:
    CVantryView* createFrame(CVantryDoc* doc);
    void onCloseRequested(CChildFrame* frame, bool& allow);
    void onFrameDestroyed(CVantryDoc* doc);
    void OnFileOpen();
    void OnPreferences();
    // A document made from a kept network, with its window; null after telling the user why
    // the network cannot be recovered.
    CVantryDoc* recoverDocument(const RecoveryRecord& record);
    // Makes the document one of the application's and gives it a window.
    CVantryDoc* adopt(std::unique_ptr<CVantryDoc> doc);
    std::vector<CommandTarget*> routeTargets() const;

    std::unique_ptr<QtPrompter> ownPrompter_;
    Prompter* prompter_;
    std::unique_ptr<AppPropertyEditors> editors_;
    std::unique_ptr<CMainFrame> mainFrame_;
    std::vector<std::unique_ptr<CVantryDoc>> documents_;
    std::unique_ptr<RecentFiles> recent_;
    int untitledCount_ = 0;
    std::unique_ptr<RecoveryController> recovery_;
    std::unique_ptr<ExchangeCommands> exchange_;
    std::unique_ptr<QueryCommands> queries_;
    std::unique_ptr<RouteCommands> routes_;
    std::unique_ptr<WorkZoneCommands> workZones_;
};

} // namespace vantry
