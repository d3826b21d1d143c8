#pragma once

#include "document/vantrydoc.h"

#include <functional>
#include <string>
#include <vector>

namespace vantry {

// The File menu's list of the networks opened or saved last, newest first, kept in the
// program's settings between runs. It hears of every save of the documents it is given.
class RecentFiles : public DocumentStateListener {
public:
    static constexpr std::size_t kCount = 4;

    // shown is called with the list whenever it changes, to show it in the menu.
    explicit RecentFiles(std::function<void(const std::vector<std::string>&)> shown);

    const std::vector<std::string>& paths() const { return paths_; }
    // Reads the list the last run left.
    void load();
    // Puts the file first (it is taken as absolute).
    void add(const std::string& path);
    // Takes a file that could not be opened off the list.
    void remove(const std::string& path);

    void documentSaved(CVantryDoc& doc) override { add(doc.GetPathName()); }

private:
    void store() const;

    std::function<void(const std::vector<std::string>&)> shown_;
    std::vector<std::string> paths_;
};

} // namespace vantry
