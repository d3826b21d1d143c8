#pragma once

#include "dialogs/qtprompter.h"
#include "document/commands.h"

#include <QObject>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

class AppPropertyEditors;
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

    // Creates the main window and carries out the command line (the arguments after the
    // program name): no file gives a new empty network, a file is opened. False, after telling
    // the user why, when the named file cannot be opened.
    bool InitInstance(const QStringList& arguments, bool show = true);

    CMainFrame* mainFrame() const { return mainFrame_.get(); }
    Prompter& prompter() { return *prompter_; }
    const std::vector<std::unique_ptr<CVantryDoc>>& documents() const { return documents_; }
    CVantryView* activeView() const;
    CChildFrame* activeFrame() const;

    CVantryDoc* OnFileNew();
    // Opens a network file into a new document (or activates the window of a document that
    // already shows it). On failure the user is told which file and why.
    CVantryDoc* OpenDocumentFile(const std::string& path);
    CVantryView* OnWindowNew();
    bool closeFrame(CChildFrame* frame);
    bool closeDocument(CVantryDoc* doc);
    bool closeAllDocuments();
    const std::vector<std::string>& recentFiles() const { return recent_; }

    // Routing: the active view, its document, the child frame, the main frame, the application.
    std::optional<CommandState> queryRouted(int id) const;
    bool route(int id);

    std::optional<CommandState> query(int id) const override;
    bool execute(int id) override;

public slots:
    // The one place where menu items and buttons are enabled and checked.
    void updateCommandUI();

private:
    CVantryView* createFrame(CVantryDoc* doc);
    void onCloseRequested(CChildFrame* frame, bool& allow);
    void onFrameDestroyed(CVantryDoc* doc);
    void updateTitles();
    void addRecentFile(const std::string& path);
    void loadRecentFiles();
    void saveRecentFiles() const;
    void OnFileOpen();
    void OnPreferences();
    std::vector<CommandTarget*> routeTargets() const;

    std::unique_ptr<QtPrompter> ownPrompter_;
    Prompter* prompter_;
    std::unique_ptr<AppPropertyEditors> editors_;
    std::unique_ptr<CMainFrame> mainFrame_;
    std::vector<std::unique_ptr<CVantryDoc>> documents_;
    std::vector<std::string> recent_;
    int untitledCount_ = 0;
};
