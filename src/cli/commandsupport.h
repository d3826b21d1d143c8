#pragma once

#include "cli/vantrycli.h"
#include "document/prompter.h"
#include "streets/streetreader.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace vantry {

class CVantryDoc;

// Where the objects of this run go when the process is to end without freeing them; null to
// free them as usual.
void setKeepUntilExit(CliKeep* keep);
void keepUntilExit(std::shared_ptr<void> object);

// An object that lives to the end of the command, or to the end of the process when the run
// keeps its objects.
template <typename T> class Held {
public:
    template <typename... Args>
    explicit Held(Args&&... args) : object_(std::make_shared<T>(std::forward<Args>(args)...)) {
        keepUntilExit(object_);
    }
    T& operator*() const { return *object_; }

private:
    std::shared_ptr<T> object_;
};

// Keeps what the document would have shown in a message box, so that the failure can be told on
// standard error instead; every question gets the answer a run without a window gives.
class CliPrompter : public Prompter {
public:
    void showMessage(const std::string& text, Icon) override { message_ = text; }
    bool askYesNo(const std::string&, Icon) override { return false; }
    Answer askYesNoCancel(const std::string&, Icon) override { return Answer::Cancel; }
    std::optional<std::string> chooseOpenPath(const std::string&) override { return std::nullopt; }
    std::optional<std::string> chooseSavePath(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::uint32_t> pickColour(std::uint32_t) override { return std::nullopt; }

    const std::string& message() const { return message_; }

private:
    std::string message_;
};

// Messages may run over several lines for a window; on standard error they take one.
std::string oneLine(std::string text);

// Opens the network as File Open does. A file read only in part is still opened, with what was
// left out told on standard error.
bool openNetwork(CVantryDoc& doc, const std::string& path, std::ostream& err);

// Saves the network as File Save does, telling a failure on standard error.
bool saveNetwork(CVantryDoc& doc, const std::string& path, std::ostream& err);

std::string sixDecimals(float v);

// Loads road data into the document as Load TIGER Data does, a record file pair or a layer of
// street data (the named one, or the only one). kExitUsage when the source has several layers of
// lines and none was named, or a layer is named for record files; kExitFileError when it cannot be
// read; kExitSuccess when loaded. What could not be placed on the map is told as a warning.
int loadSource(CVantryDoc& doc, const std::string& path, const std::string& layer,
               std::ostream& err, const StreetReadOptions& options = {});

} // namespace vantry
