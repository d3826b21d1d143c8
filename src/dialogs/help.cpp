#include "dialogs/help.h"

#include <QFile>
#include <QIcon>
#include <QMap>
#include <QTextBrowser>
#include <QTextStream>
#include <QUrl>

// The guide is compiled into a static library, so its resources are registered by hand.
static void registerGuide() {
    Q_INIT_RESOURCE(help);
}

namespace {

struct HelpState {
    QString root = QStringLiteral(":/help/");
    bool loaded = false;
    bool failed = false;
    bool busy = false;
    QMap<QString, QString> topics;
    QTextBrowser* viewer = nullptr;
};

HelpState& state() {
    static HelpState s;
    return s;
}

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

QString topicKey(int command, long data) {
    if (command == HH_DISPLAY_TOPIC)
        return QStringLiteral("start");
    if (command == HH_DISPLAY_INDEX)
        return QStringLiteral("index");
    if (command == HH_HELP_CONTEXT)
        return data == 0 ? QStringLiteral("precision") : QString::number(data);
    return {};
}

} // namespace

std::string helpTopicFor(int command, long data) {
    HelpState& s = state();
    if (!s.loaded && !s.failed) {
        if (loadTopics(s))
            s.loaded = true;
        else
            s.failed = true;
    }
    if (s.failed)
        return {};
    return s.topics.value(topicKey(command, data)).toStdString();
}

long ShowHelp(QWidget*, const std::string&, int command, long data) {
    HelpState& s = state();
    const std::string topic = helpTopicFor(command, data);
    if (s.failed || topic.empty())
        return 0;
    if (!s.viewer) {
        // The guide is a window of its own, like a separate help viewer, and stays open
        // beside the editor.
        s.viewer = new QTextBrowser;
        s.viewer->setAttribute(Qt::WA_DeleteOnClose, false);
        s.viewer->setWindowTitle(QStringLiteral("Vantry User's Guide"));
        s.viewer->setWindowIcon(QIcon(QStringLiteral(":/icons/vantry.svg")));
        s.viewer->setOpenExternalLinks(true);
        s.viewer->resize(760, 640);
    }
    const QString url =
        s.root.startsWith(QLatin1Char(':'))
            ? QStringLiteral("qrc") + s.root + QString::fromStdString(topic)
            : QUrl::fromLocalFile(s.root).toString() + QString::fromStdString(topic);
    s.viewer->setSource(QUrl(url));
    s.viewer->show();
    s.viewer->raise();
    s.viewer->activateWindow();
    return 1;
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
    ShowHelp(nullptr, kHelpFile, HH_DISPLAY_INDEX, 0);
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
