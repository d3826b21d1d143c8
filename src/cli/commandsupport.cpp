#include "cli/commandsupport.h"

#include "document/vantrydoc.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace vantry {

namespace {

CliKeep* keptObjects = nullptr;

} // namespace

void setKeepUntilExit(CliKeep* keep) {
    keptObjects = keep;
}

void keepUntilExit(std::shared_ptr<void> object) {
    if (object && keptObjects)
        keptObjects->push_back(std::move(object));
}

std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

bool openNetwork(CVantryDoc& doc, const std::string& path, std::ostream& err) {
    if (!doc.OnOpenDocument(path)) {
        err << oneLine(doc.lastError()) << "\n";
        return false;
    }
    if (!doc.lastWarning().empty())
        err << oneLine(doc.lastWarning()) << "\n";
    return true;
}

bool saveNetwork(CVantryDoc& doc, const std::string& path, std::ostream& err) {
    if (doc.OnSaveDocument(path))
        return true;
    err << oneLine(doc.lastError()) << "\n";
    return false;
}

std::string sixDecimals(float v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(v));
    return buf;
}

} // namespace vantry
