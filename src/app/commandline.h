#pragma once

#include <QString>
#include <QStringList>

namespace vantry {

// What the editor's command line asks for: run on the named files, or only print the usage, the
// version or why the line is wrong.
struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    QStringList files;
    QString text; // what to print for Help, Version and Error
};

// Reads the editor's arguments (the program name first). Needs the application object only for
// the program's name and version.
CommandLine parseCommandLine(const QStringList& arguments);

} // namespace vantry
