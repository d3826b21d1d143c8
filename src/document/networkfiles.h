#pragma once

#include <string>
#include <vector>

namespace vantry {

class Network;
class Prompter;
enum class ReadOnlyFiles;

// The network file formats. Recovery files store these values: new ones go before Unknown only
// with a new recovery file version.
enum class NetworkFormat { Text, Workbook, Unknown };

// One network file format: the one place that knows its extension and which reader and writer a
// file of it takes. The open and save dialogs' filter and the command-line tool's help come from
// the list of them.
struct NetworkFileFormat {
    NetworkFormat format;
    const char* name;      // how messages name it: "text"
    const char* extension; // exact and case-sensitive: ".txt"
    // Fills the empty network, or sets error to the message for the user, naming the file. A
    // file read only in part is a success with warning saying what was left out; declined says
    // the user answered No to the reader's question.
    bool (*read)(const std::string& path, Network& network, Prompter* prompter, std::string& error,
                 std::string& warning, bool& declined);
    // Replaces the file only once everything has been written; on failure error is the message
    // for the user, naming the file.
    bool (*write)(const std::string& path, const Network& network, Prompter* prompter,
                  ReadOnlyFiles readOnly, std::string& error);
};

// Every format, the one a new network is saved in first.
const std::vector<NetworkFileFormat>& networkFileFormats();

// The format the file's name chooses by its exact, case-sensitive extension; null for none.
const NetworkFileFormat* networkFileFormatOf(const std::string& path);
NetworkFormat networkFormatOf(const std::string& path);

// The extension a network never saved is offered with: the first format's.
const char* defaultNetworkExtension();

// The file filter of the open and save dialogs, in the "text|patterns|...||" form: every
// network format, then every file.
const std::string& networkFileFilter();

// Reads the file into the empty network. On failure the network is left empty and `error` is
// the message for the user, naming the file and what went wrong. A file read only in part (a
// workbook cell that could not be read ends its block) is a success with `warning` naming the
// file and saying what was left out; otherwise `warning` is empty. The prompter answers the
// workbook reader's question; it may be null (the question is then answered No). When the user
// answered No, `declined` is set: the open ended as asked, and `error` only says why.
bool readNetworkFile(const std::string& path, Network& network, Prompter* prompter,
                     std::string& error, std::string& warning, bool* declined = nullptr);

// Writes the network to the file, replacing it only once everything has been written. On
// failure the file is left as it was and `error` is the message for the user, naming the file.
// A network holding a number the formats cannot store is refused before anything is written. A
// file marked read-only that this user could still replace (as root can) is replaced only when
// the prompter answers Yes to readOnlyQuestion; without a prompter it is refused. Memory that
// runs out while reading or writing fails the file with that reason.
bool writeNetworkFile(const std::string& path, const Network& network, Prompter* prompter,
                      std::string& error);

// What the user is asked before a file marked read-only is replaced.
std::string readOnlyQuestion(const std::string& path);

} // namespace vantry
