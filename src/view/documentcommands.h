#pragma once

#include "view/commands.h"

namespace vantry {

class CVantryDoc;

// The commands a document answers, for the menus and the toolbar: Undo and Redo (which say what
// they would undo), Save, Save As, Load Bitmap, Load TIGER Data and Georeference. A view routes
// them to its document through one of these.
class DocumentCommands : public CommandTarget {
public:
    explicit DocumentCommands(CVantryDoc& doc) : doc_(doc) {}

    std::optional<CommandState> query(int id) const override;

protected:
    void run(int id) override;

private:
    // Asks where the network lies and makes what changed one undo step, "Georeference".
    void chooseGeoreference();

    CVantryDoc& doc_;
};

} // namespace vantry
