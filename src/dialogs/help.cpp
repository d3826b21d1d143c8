#include "dialogs/help.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QShortcut>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextStream>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

// The guide is compiled into a static library, so its resources are registered by hand.
static void registerGuide() {
    Q_INIT_RESOURCE(help);
}

namespace vantry {

namespace {

class HelpWindow;

struct HelpState {
    QString root = QStringLiteral(":/help/");
    bool loaded = false;
    bool failed = false;
    bool busy = false;
    QMap<QString, QString> topics;
    HelpWindow* viewer = nullptr;
};

HelpState& state() {
    static HelpState s;
    return s;
}

QUrl pageUrl(const QString& page) {
    const QString& root = state().root;
    return QUrl(root.startsWith(QLatin1Char(':')) ? QStringLiteral("qrc") + root + page
                                                  : QUrl::fromLocalFile(root).toString() + page);
}

// The guide's window: the pages, Back and Forward through those seen, Contents and Index, and
// a search through every page. A window of its own, like a separate help viewer, that stays open
// beside the editor; Escape closes it.
class HelpWindow : public QWidget {
public:
    HelpWindow() {
        setObjectName(QStringLiteral("helpWindow"));
        setWindowTitle(QStringLiteral("Vantry User's Guide"));
        setWindowIcon(QIcon(QStringLiteral(":/icons/vantry.svg")));
        browser_ = new QTextBrowser;
        browser_->setOpenExternalLinks(true);

        auto* bar = new QToolBar;
        QAction* back = bar->addAction(QStringLiteral("Back"), browser_, &QTextBrowser::backward);
        back->setObjectName(QStringLiteral("back"));
        back->setShortcut(QKeySequence::Back);
        back->setToolTip(QStringLiteral("Back to the page seen before (Alt+Left)"));
        back->setEnabled(false);
        connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
        QAction* forward =
            bar->addAction(QStringLiteral("Forward"), browser_, &QTextBrowser::forward);
        forward->setObjectName(QStringLiteral("forward"));
        forward->setShortcut(QKeySequence::Forward);
        forward->setEnabled(false);
        connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
        bar->addSeparator();
        bar->addAction(QStringLiteral("Contents"), this, [this] { showTopic("start"); });
        bar->addAction(QStringLiteral("Index"), this, [this] { showTopic("index"); });
        bar->addSeparator();
        search_ = new QLineEdit;
        search_->setObjectName(QStringLiteral("search"));
        search_->setPlaceholderText(QStringLiteral("Search the guide (Ctrl+F)"));
        search_->setClearButtonEnabled(true);
        bar->addWidget(search_);
        connect(search_, &QLineEdit::returnPressed, this, &HelpWindow::search);

        results_ = new QListWidget;
        results_->setObjectName(QStringLiteral("results"));
        results_->hide();
        connect(results_, &QListWidget::currentItemChanged, this,
                [this](QListWidgetItem* item) { openResult(item); });

        auto* split = new QSplitter;
        split->addWidget(results_);
        split->addWidget(browser_);
        split->setStretchFactor(1, 3);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(bar);
        layout->addWidget(split);

        new QShortcut(QKeySequence::Find, this, this, [this] {
            search_->setFocus();
            search_->selectAll();
        });
        resize(760, 640);
    }

    QTextBrowser* browser() const { return browser_; }
    void showPage(const QString& page) { browser_->setSource(pageUrl(page)); }

protected:
    // Escape closes the guide, whichever of its parts has the focus.
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
            close();
        else
            QWidget::keyPressEvent(event);
    }

private:
    void showTopic(const char* key) {
        const QString page = state().topics.value(QString::fromLatin1(key));
        if (!page.isEmpty())
            showPage(page);
    }

    // Lists the pages holding every word searched for, those holding them most often first,
    // and opens the first.
    void search() {
        words_ = search_->text().toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        results_->clear();
        if (words_.isEmpty()) {
            results_->hide();
            return;
        }
        struct Found {
            int count;
            QString title;
            QString page;
        };
        std::vector<Found> found;
        const QDir folder(state().root);
        for (const QString& page :
             folder.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name)) {
            QFile file(folder.filePath(page));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            QTextDocument document;
            document.setHtml(QString::fromUtf8(file.readAll()));
            const QString text = document.toPlainText().toLower();
            int count = 0;
            for (const QString& word : words_) {
                const int n = static_cast<int>(text.count(word));
                if (n == 0) {
                    count = 0;
                    break;
                }
                count += n;
            }
            if (count > 0) {
                QString title = document.metaInformation(QTextDocument::DocumentTitle);
                found.push_back({count, title.isEmpty() ? page : title, page});
            }
        }
        std::stable_sort(found.begin(), found.end(),
                         [](const Found& a, const Found& b) { return a.count > b.count; });
        results_->show();
        if (found.empty()) {
            auto* none =
                new QListWidgetItem(QStringLiteral("No page holds \"%1\"").arg(search_->text()));
            none->setFlags(Qt::NoItemFlags);
            results_->addItem(none);
            return;
        }
        for (const Found& f : found) {
            auto* item = new QListWidgetItem(f.title, results_);
            item->setData(Qt::UserRole, f.page);
        }
        results_->setCurrentRow(0);
    }

    // Opens a page found and marks the first place where a word searched for stands.
    void openResult(QListWidgetItem* item) {
        if (!item || item->data(Qt::UserRole).toString().isEmpty())
            return;
        showPage(item->data(Qt::UserRole).toString());
        browser_->moveCursor(QTextCursor::Start);
        if (!words_.isEmpty())
            browser_->find(words_.front());
    }

    QTextBrowser* browser_;
    QLineEdit* search_;
    QListWidget* results_;
    QStringList words_;
};

// F1 in a dialog presses the dialog's Help button, which opens the dialog's page of the guide;
// a dialog without one gets the guide's index, as F1 does elsewhere.
class DialogHelpKey : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier || !widget)
            return false;
        auto* dialog = qobject_cast<QDialog*>(widget->window());
        if (!dialog)
            return false;
        for (QDialogButtonBox* buttons : dialog->findChildren<QDialogButtonBox*>()) {
            for (QAbstractButton* button : buttons->buttons()) {
                if (buttons->buttonRole(button) == QDialogButtonBox::HelpRole &&
                    button->isVisible() && button->isEnabled()) {
                    button->click();
                    return true;
                }
            }
        }
        OnHelpKey();
        return true;
    }
};

// Reads the table of "context<TAB>page#anchor" lines that ships with the guide.
bool loadTopics(HelpState& s) {
    registerGuide();
    QFile file(s.root + QStringLiteral("topics.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList parts = in.readLine().split(QLatin1Char('\t'));
        if (parts.size() == 2)
            s.topics.insert(parts[0].trimmed(), parts[1].trimmed());
    }
    return s.topics.contains(QStringLiteral("start")) &&
           QFile::exists(s.root + s.topics.value(QStringLiteral("start")));
}

QString topicKey(HelpRequest request, long context) {
    switch (request) {
    case HelpRequest::Start:
        return QStringLiteral("start");
    case HelpRequest::Index:
        return QStringLiteral("index");
    case HelpRequest::Context:
        break;
    }
    return context == 0 ? QStringLiteral("precision") : QString::number(context);
}

} // namespace

std::string helpTopicFor(HelpRequest request, long context) {
    HelpState& s = state();
    if (!s.loaded && !s.failed) {
        if (loadTopics(s))
            s.loaded = true;
        else
            s.failed = true;
    }
    if (s.failed)
        return {};
    return s.topics.value(topicKey(request, context)).toStdString();
}

bool showGuide(HelpRequest request, long context) {
    HelpState& s = state();
    const std::string topic = helpTopicFor(request, context);
    if (s.failed || topic.empty())
        return false;
    if (!s.viewer)
        s.viewer = new HelpWindow;
    s.viewer->showPage(QString::fromStdString(topic));
    s.viewer->show();
    s.viewer->raise();
    s.viewer->activateWindow();
    return true;
}

QTextBrowser* helpViewer() {
    return state().viewer ? state().viewer->browser() : nullptr;
}

void installDialogHelpKey() {
    static bool installed = false;
    if (installed || !qApp)
        return;
    installed = true;
    qApp->installEventFilter(new DialogHelpKey(qApp));
}

void closeHelp() {
    if (state().viewer)
        state().viewer->close();
}

void OnHelpKey() {
    HelpState& s = state();
    if (s.busy)
        return;
    s.busy = true;
    showGuide(HelpRequest::Index);
    s.busy = false;
}

void setHelpRootForTesting(const std::string& root) {
    resetHelpForTesting();
    state().root = QString::fromStdString(root);
}

bool helpHasFailed() {
    return state().failed;
}

void resetHelpForTesting() {
    HelpState& s = state();
    s.loaded = false;
    s.failed = false;
    s.topics.clear();
    delete s.viewer;
    s.viewer = nullptr;
}

} // namespace vantry
