#pragma once

#include <string>

class Network;
class Prompter;

// The network file formats, chosen by the exact, case-sensitive extension of the file's name:
// ".txt" for the text format and ".xls" for Travona workbooks. This is the one place that knows
// which reader and writer a file takes.
enum class NetworkFormat { Text, Workbook, Unknown };

NetworkFormat networkFormatOf(const std::string& path);

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
