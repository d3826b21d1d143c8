#pragma once

#include "view/commands.h"

namespace vantry {

class CVantryDoc;

// The commands a document answers, for the menus and the toolbar: Undo and Redo (which say what
// they would undo), Save, Save As, Load Bitmap and Load TIGER Data. A view routes them to its
// document through one of these.
class DocumentCommands : public CommandTarget {
public:
    explicit DocumentCommands(CVantryDoc& doc) : doc_(doc) {}

    std::optional<CommandState> query(int id) const override;

protected:
    void run(int id) override;

private:
    CVantryDoc& doc_;
};

} // namespace vantry
