#include "app/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace vantry {

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

} // namespace vantry
