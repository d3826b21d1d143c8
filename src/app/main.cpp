#include "app/vantryapp.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"

#include <QApplication>

#include <cstdio>
#include <optional>

namespace vantry {

namespace {

void setApplicationNames() {
    QCoreApplication::setOrganizationName(QStringLiteral("Kestrin"));
    QCoreApplication::setApplicationName(QStringLiteral("Vantry"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANTRY_VERSION));
    // Lets the desktop match the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.kestrin.vantry"));
}

// Answers --help and --version before the window system is reached, so that both work without
// a display. Returns the exit code when the program is to end here.
std::optional<int> answerWithoutWindows(int argc, char** argv) {
    QCoreApplication core(argc, argv);
    setApplicationNames();
    const CommandLine line = parseCommandLine(QCoreApplication::arguments());
    switch (line.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
        std::fputs(line.text.toLocal8Bit().constData(), stdout);
        return 0;
    default:
        // Errors wait for the toolkit, which takes its own options (-platform, -display) first.
        return std::nullopt;
    }
}

} // namespace
} // namespace vantry

using namespace vantry;

int main(int argc, char** argv) {
    if (const auto code = answerWithoutWindows(argc, argv))
        return *code;
    // The preferences are loaded before the application starts and written back once, when
    // the program ends normally.
    SingletonPtr<UserDefinedSettings> settings;
    int result = 0;
    {
        QApplication application(argc, argv);
        setApplicationNames();
        const CommandLine line = parseCommandLine(QApplication::arguments());
        if (line.action == CommandLine::Action::Error) {
            std::fputs(line.text.toLocal8Bit().constData(), stderr);
            return 2;
        }
        CVantryApp app;
        if (!app.InitInstance(line.files))
            return 1;
        result = QApplication::exec();
    }
    return result;
}
