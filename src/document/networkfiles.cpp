#include "document/networkfiles.h"

#include "base/files.h"
#include "document/prompter.h"
#include "excel/workbooklayout.h"
#include "model/network.h"

#include <cctype>
#include <new>
#include <stdexcept>

namespace {

constexpr const char* kTextExtension = ".txt";
constexpr const char* kWorkbookExtension = ".xls";

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
    std::string text = "only network files ending in \".txt\" (text) or \".xls\" (workbook) "
                       "are supported";
    const std::string lower = lowerCase(extensionOf(path));
    if (lower == kTextExtension || lower == kWorkbookExtension)
        text += "; the extension must be written in lower case";
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

} // namespace

NetworkFormat networkFormatOf(const std::string& path) {
    const std::string ext = extensionOf(path);
    if (ext == kTextExtension)
        return NetworkFormat::Text;
    if (ext == kWorkbookExtension)
        return NetworkFormat::Workbook;
    return NetworkFormat::Unknown;
}

namespace {

bool readNetwork(const std::string& path, Network& network, Prompter* prompter, std::string& error,
                 std::string& warning, bool* declined) {
    std::string why;
    bool ok = false;
    switch (networkFormatOf(path)) {
    case NetworkFormat::Workbook: {
        WorkbookPromptsAdapter prompts(prompter);
        if (LoadFromWorkbook(network, path, prompts)) {
            if (!prompts.warnings().empty())
                warning = "Only part of " + quoted(path) + " could be read.\n" + prompts.warnings();
            return true;
        }
        network.clear();
        if (declined)
            *declined = prompts.declined();
        error = withFileName(prompts.messages(), "Cannot open", path);
        return false;
    }
    case NetworkFormat::Text: {
        FileBytes text;
        ok = readWholeFile(path, text, why) && network.readText(text.view(), &why);
        break;
    }
    case NetworkFormat::Unknown:
        why = unsupportedExtension(path);
        break;
    }
    if (ok)
        return true;
    network.clear();
    error = "Cannot open " + quoted(path) + ": " + why + ".";
    return false;
}

bool writeNetwork(const std::string& path, const Network& network, Prompter* prompter,
                  std::string& error) {
    std::string why;
    // Its owner marked the file read-only; only root could replace it, and only when asked.
    ReadOnlyFiles readOnly = ReadOnlyFiles::Refuse;
    if (isReadOnlyButReplaceable(path)) {
        if (!prompter || !prompter->askYesNo(readOnlyQuestion(path), Prompter::Icon::Exclamation)) {
            error = "Cannot save " + quoted(path) + ": it is read-only.";
            return false;
        }
        readOnly = ReadOnlyFiles::Replace;
    }
    bool ok = false;
    if (!network.checkStorable(&why)) {
        why = "the network cannot be stored: " + why;
    } else {
        switch (networkFormatOf(path)) {
        case NetworkFormat::Workbook: {
            WorkbookPromptsAdapter prompts(prompter);
            if (SaveToWorkbook(network, path, prompts, readOnly))
                return true;
            error = withFileName(prompts.messages(), "Cannot save", path);
            return false;
        }
        case NetworkFormat::Text:
            ok = writeFileSafely(path, network.toText(), why, readOnly);
            break;
        case NetworkFormat::Unknown:
            why = unsupportedExtension(path);
            break;
        }
    }
    if (ok)
        return true;
    error = "Cannot save " + quoted(path) + ": " + why + ".";
    return false;
}

} // namespace

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
