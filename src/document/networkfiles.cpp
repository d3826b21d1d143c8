#include "document/networkfiles.h"

#include "base/files.h"
#include "document/prompter.h"
#include "excel/workbooklayout.h"
#include "model/network.h"

#include <cctype>
#include <new>
#include <stdexcept>

namespace vantry {

namespace {

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string extensionOf(const std::string& path) {
    const auto dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string lowerCase(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string unsupportedExtension(const std::string& path) {
    std::string text = "only network files ending in ";
    const auto& formats = networkFileFormats();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (i > 0)
            text += i + 1 == formats.size() ? " or " : ", ";
        text += quoted(formats[i].extension) + " (" + formats[i].name + ")";
    }
    text += " are supported";
    const std::string lower = lowerCase(extensionOf(path));
    for (const NetworkFileFormat& format : formats)
        if (lower == format.extension) {
            text += "; the extension must be written in lower case";
            break;
        }
    return text;
}

// The workbook code asks its question through the user's prompter and hands its messages back,
// so that a failure is reported once, with the file's name, as every failed open or save.
class WorkbookPromptsAdapter : public WorkbookPrompts {
public:
    explicit WorkbookPromptsAdapter(Prompter* prompter) : prompter_(prompter) {}
    bool askYesNo(const std::string& question) override {
        const bool yes = prompter_ && prompter_->askYesNo(question, Prompter::Icon::Question);
        declined_ = declined_ || (prompter_ && !yes);
        return yes;
    }
    // The user answered No: the open ends as asked.
    bool declined() const { return declined_; }
    void showMessage(const std::string& message) override {
        if (!messages_.empty())
            messages_ += '\n';
        messages_ += message;
    }
    void showWarning(const std::string& message) override {
        if (!warnings_.empty())
            warnings_ += '\n';
        warnings_ += message;
    }
    const std::string& messages() const { return messages_; }
    const std::string& warnings() const { return warnings_; }

private:
    Prompter* prompter_;
    std::string messages_;
    std::string warnings_;
    bool declined_ = false;
};

// A failure message that is sure to name the file it is about.
std::string withFileName(const std::string& message, const char* verb, const std::string& path) {
    if (message.empty())
        return std::string(verb) + " " + quoted(path) + ".";
    if (message.find(path) != std::string::npos)
        return message;
    return message + "\n" + verb + " " + quoted(path) + ".";
}

bool readWorkbook(const std::string& path, Network& network, Prompter* prompter, std::string& error,
                  std::string& warning, bool& declined) {
    WorkbookPromptsAdapter prompts(prompter);
    if (LoadFromWorkbook(network, path, prompts)) {
        if (!prompts.warnings().empty())
            warning = "Only part of " + quoted(path) + " could be read.\n" + prompts.warnings();
        return true;
    }
    declined = prompts.declined();
    error = withFileName(prompts.messages(), "Cannot open", path);
    return false;
}

bool writeWorkbook(const std::string& path, const Network& network, Prompter* prompter,
                   ReadOnlyFiles readOnly, std::string& error) {
    WorkbookPromptsAdapter prompts(prompter);
    if (SaveToWorkbook(network, path, prompts, readOnly))
        return true;
    error = withFileName(prompts.messages(), "Cannot save", path);
    return false;
}

bool readText(const std::string& path, Network& network, Prompter*, std::string& error,
              std::string&, bool&) {
    FileBytes text;
    std::string why;
    if (readWholeFile(path, text, why) && network.readText(text.view(), &why))
        return true;
    error = "Cannot open " + quoted(path) + ": " + why + ".";
    return false;
}

bool writeText(const std::string& path, const Network& network, Prompter*, ReadOnlyFiles readOnly,
               std::string& error) {
    std::string why;
    if (writeFileSafely(path, network.toText(), why, readOnly))
        return true;
    error = "Cannot save " + quoted(path) + ": " + why + ".";
    return false;
}

bool readNetwork(const std::string& path, Network& network, Prompter* prompter, std::string& error,
                 std::string& warning, bool* declined) {
    const NetworkFileFormat* format = networkFileFormatOf(path);
    if (!format) {
        error = "Cannot open " + quoted(path) + ": " + unsupportedExtension(path) + ".";
        return false;
    }
    bool userDeclined = false;
    if (format->read(path, network, prompter, error, warning, userDeclined))
        return true;
    network.clear();
    if (declined)
        *declined = userDeclined;
    return false;
}

bool writeNetwork(const std::string& path, const Network& network, Prompter* prompter,
                  std::string& error) {
    // Its owner marked the file read-only; only root could replace it, and only when asked.
    ReadOnlyFiles readOnly = ReadOnlyFiles::Refuse;
    if (isReadOnlyButReplaceable(path)) {
        if (!prompter || !prompter->askYesNo(readOnlyQuestion(path), Prompter::Icon::Exclamation)) {
            error = "Cannot save " + quoted(path) + ": it is read-only.";
            return false;
        }
        readOnly = ReadOnlyFiles::Replace;
    }
    std::string why;
    if (!network.checkStorable(&why)) {
        error = "Cannot save " + quoted(path) + ": the network cannot be stored: " + why + ".";
        return false;
    }
    const NetworkFileFormat* format = networkFileFormatOf(path);
    if (!format) {
        error = "Cannot save " + quoted(path) + ": " + unsupportedExtension(path) + ".";
        return false;
    }
    return format->write(path, network, prompter, readOnly, error);
}

} // namespace

const std::vector<NetworkFileFormat>& networkFileFormats() {
    // The workbook first: it is what the editor's users exchange.
    static const std::vector<NetworkFileFormat> formats = {
        {NetworkFormat::Workbook, "workbook", ".xls", readWorkbook, writeWorkbook},
        {NetworkFormat::Text, "text", ".txt", readText, writeText},
    };
    return formats;
}

const NetworkFileFormat* networkFileFormatOf(const std::string& path) {
    const std::string ext = extensionOf(path);
    for (const NetworkFileFormat& format : networkFileFormats())
        if (ext == format.extension)
            return &format;
    return nullptr;
}

NetworkFormat networkFormatOf(const std::string& path) {
    const NetworkFileFormat* format = networkFileFormatOf(path);
    return format ? format->format : NetworkFormat::Unknown;
}

const char* defaultNetworkExtension() {
    return networkFileFormats().front().extension;
}

const std::string& networkFileFilter() {
    static const std::string filter = [] {
        std::string patterns;
        for (const NetworkFileFormat& format : networkFileFormats())
            patterns += (patterns.empty() ? "*" : ";*") + std::string(format.extension);
        return "Travona Files (" + patterns + ")|" + patterns + "|All Files (*.*)|*.*||";
    }();
    return filter;
}

std::string readOnlyQuestion(const std::string& path) {
    return quoted(path) +
           " is read-only: no one has permission to write to it.\nReplace it anyway?";
}

bool readNetworkFile(const std::string& path, Network& network, Prompter* prompter,
                     std::string& error, std::string& warning, bool* declined) {
    error.clear();
    warning.clear();
    if (declined)
        *declined = false;
    // Whatever reads the file, memory that runs out is a file that cannot be opened, not the end
    // of the program.
    try {
        return readNetwork(path, network, prompter, error, warning, declined);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    network.clear();
    warning.clear();
    error = "Cannot open " + quoted(path) + ": there is not enough memory to read it.";
    return false;
}

bool writeNetworkFile(const std::string& path, const Network& network, Prompter* prompter,
                      std::string& error) {
    error.clear();
    try {
        return writeNetwork(path, network, prompter, error);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    error = "Cannot save " + quoted(path) + ": there is not enough memory to write it.";
    return false;
}

} // namespace vantry
