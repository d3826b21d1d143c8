#include "cli/vantrycli.h"

#include "cli/commandsupport.h"
#include "cli/commandtable.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <new>
#include <ostream>
#include <stdexcept>

namespace vantry {

namespace {

std::string outOfMemory(const std::vector<std::string>& args) {
    std::string text = "vantry-cli: there is not enough memory";
    if (!args.empty())
        text += " to " + args[0];
    if (args.size() > 1)
        text += " \"" + args[1] + "\"";
    return text + ".\n";
}

int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty())
        return usageError(err, "no command given");
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << helpText();
        return kExitSuccess;
    }
    if (args.size() == 1 && args[0] == "--version") {
        out << "vantry-cli " << VANTRY_VERSION << "\n";
        return kExitSuccess;
    }
    const CliCommand* command = findCliCommand(args[0]);
    if (!command)
        return usageError(err, "unknown command \"" + args[0] + "\"");
    std::string problem;
    const auto line = parseCommandLine({args.begin() + 1, args.end()}, command->options, problem);
    if (!line)
        return usageError(err, problem);
    return command->run(*line, out, err);
}

} // namespace

int runVantryCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 CliKeep* keep) {
    setKeepUntilExit(keep);
    // Only this program's own messages belong on standard error, not the toolkit's or those of
    // its picture decoders about a damaged background.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    int code = kExitFileError;
    // Each reader reports memory that runs out as a file it cannot read; whatever else runs out
    // still ends the run with one line, not with an abort.
    try {
        code = runCommand(args, out, err);
    } catch (const std::bad_alloc&) {
        err << outOfMemory(args);
        return kExitFileError;
    } catch (const std::length_error&) {
        err << outOfMemory(args);
        return kExitFileError;
    }
    // What was printed is the answer the user asked for: if it did not arrive, the run failed.
    if ((code == kExitSuccess || code == kExitFindings) && !out.flush()) {
        err << "vantry-cli: the output could not be written.\n";
        return kExitFileError;
    }
    return code;
}

} // namespace vantry
