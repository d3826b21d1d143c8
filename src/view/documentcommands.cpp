#include "view/documentcommands.h"

#include "document/vantrydoc.h"

namespace vantry {

std::optional<CommandState> DocumentCommands::query(int id) const {
    switch (id) {
    case ID_EDIT_UNDO:
        return CommandState{doc_.canUndo(), false, doc_.undoName()};
    case ID_EDIT_REDO:
        return CommandState{doc_.canRedo(), false, doc_.redoName()};
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS:
    case ID_LOAD_BITMAP:
    case ID_LOAD_TIGER_DATA:
    case ID_NETWORK_GEOREFERENCE:
        return CommandState{true, false};
    default:
        return std::nullopt;
    }
}

void DocumentCommands::run(int id) {
    if (id == ID_EDIT_UNDO)
        doc_.OnEditUndo();
    else if (id == ID_EDIT_REDO)
        doc_.OnEditRedo();
    else if (id == ID_FILE_SAVE)
        doc_.OnFileSave();
    else if (id == ID_FILE_SAVE_AS)
        doc_.OnFileSaveAs();
    else if (id == ID_LOAD_TIGER_DATA)
        doc_.OnLoadTigerData();
    else if (id == ID_LOAD_BITMAP)
        doc_.OnLoadBitmap();
    else if (id == ID_NETWORK_GEOREFERENCE)
        chooseGeoreference();
}

void DocumentCommands::chooseGeoreference() {
    Prompter* prompter = doc_.prompter();
    if (!prompter)
        return;
    const auto chosen = prompter->chooseGeoreference(doc_.network().georeference());
    // Setting the georeference the network already has is no edit, and leaves no undo step.
    if (!chosen || *chosen == doc_.network().georeference())
        return;
    doc_.edit("Georeference", [&](Network& net) { return net.setGeoreference(*chosen); });
}

} // namespace vantry
