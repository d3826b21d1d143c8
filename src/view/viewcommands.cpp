#include "view/viewcommands.h"

#include "view/clipboard.h"
#include "view/colourbydialog.h"
#include "view/vantryview.h"

namespace vantry {

std::optional<CommandState> ViewCommands::query(int id) const {
    const CVantryView& view = view_;
    const ViewTransform& transform = view.transform();
    if (const ToolInfo* tool = toolForCommand(id)) {
        const bool enabled = tool->enabled({view.showTiger, transform.scale});
        const bool active = view.mode() == tool->mode;
        return CommandState{enabled, active && (enabled || !tool->checkedOnlyWhenEnabled)};
    }
    switch (id) {
    case ID_VIEW_ZOOM_IN_CENTER:
        return CommandState{transform.scale < ViewTransform::kMaxScale, false};
    case ID_VIEW_ZOOM_OUT_CENTER:
        return CommandState{transform.scale > ViewTransform::kMinScale, false};
    case ID_VIEW_FINE_ZOOM_IN:
    case ID_VIEW_FINE_ZOOM_OUT:
    case ID_VIEW_SHOW_ENTIRE_NETWORK:
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_PREVIEW:
        return CommandState{true, false};
    case ID_VIEW_GRID:
        return CommandState{true, view.showGrid};
    case ID_VIEW_NUMBERS:
        return CommandState{true, view.showNumbers};
    case ID_VIEW_BITMAP: {
        const bool loaded = view.GetDocument()->background().loaded();
        return CommandState{loaded, loaded && view.showBitmap};
    }
    case ID_VIEW_TIGER: {
        const bool loaded = view.GetDocument()->tiger().hasChains();
        return CommandState{loaded, loaded && view.showTiger};
    }
    case ID_EDIT_PROPERTIES:
        return CommandState{view.propertiesAvailable(), false};
    case ID_VIEW_COLOUR_BY:
        return CommandState{true, false};
    case ID_EDIT_CLEAR:
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
        return CommandState{!view.selection().empty(), false};
    case ID_EDIT_PASTE:
        return CommandState{clipboardHasNetwork(), false};
    case ID_EDIT_COPY_IMAGE:
    case ID_VIEW_MOVE_RIGHT:
    case ID_VIEW_MOVE_LEFT:
    case ID_VIEW_MOVE_UP:
    case ID_VIEW_MOVE_DOWN:
    case ID_VIEW_ESCAPE:
        return CommandState{true, false};
    default:
        return std::nullopt;
    }
}

bool ViewCommands::run(int id) {
    CVantryView& view = view_;
    if (const ToolInfo* tool = toolForCommand(id)) {
        // The Select command always selects; any other tool's command toggles it.
        view.setTool(tool->mode == ToolMode::Select || view.mode() != tool->mode
                         ? tool->mode
                         : ToolMode::Select);
        return false;
    }
    switch (id) {
    case ID_VIEW_ZOOM_IN_CENTER:
    case ID_VIEW_FINE_ZOOM_IN:
        if (view.transform().ZoomInToCenter(id == ID_VIEW_FINE_ZOOM_IN) &&
            view.mode() == ToolMode::ZoomIn)
            view.setTool(ToolMode::Select);
        return true;
    case ID_VIEW_ZOOM_OUT_CENTER:
    case ID_VIEW_FINE_ZOOM_OUT:
        if (view.transform().ZoomOutFromCenter(id == ID_VIEW_FINE_ZOOM_OUT) &&
            view.mode() == ToolMode::ZoomOut)
            view.setTool(ToolMode::Select);
        return true;
    case ID_VIEW_SHOW_ENTIRE_NETWORK:
        view.ShowEntireNetwork();
        return false;
    case ID_VIEW_GRID:
        view.showGrid = !view.showGrid;
        return true;
    case ID_VIEW_NUMBERS:
        view.showNumbers = !view.showNumbers;
        return true;
    case ID_VIEW_BITMAP:
        view.showBitmap = !view.showBitmap;
        return true;
    case ID_VIEW_TIGER:
        view.showTiger = !view.showTiger;
        if (view.mode() == ToolMode::AutoPopulate)
            view.setTool(ToolMode::Select);
        return true;
    case ID_VIEW_COLOUR_BY:
        if (const std::optional<ColourChoice> choice = askColourChoice(view.colourChoice, &view)) {
            view.colourChoice = *choice;
            return true;
        }
        return false;
    case ID_FILE_PRINT:
        view.OnFilePrint();
        return false;
    case ID_FILE_PRINT_PREVIEW:
        view.OnFilePrintPreview();
        return false;
    case ID_EDIT_PROPERTIES:
        view.showProperties();
        return false;
    case ID_EDIT_CLEAR:
        view.CancelDrag();
        view.deleteSelection();
        return false;
    case ID_EDIT_CUT:
        view.CancelDrag();
        view.copySelection();
        view.deleteSelection("Cut");
        return false;
    case ID_EDIT_COPY:
        view.copySelection();
        return false;
    case ID_EDIT_PASTE:
        view.CancelDrag();
        view.paste();
        return false;
    case ID_EDIT_COPY_IMAGE:
        view.copyImage();
        return false;
    case ID_VIEW_MOVE_RIGHT:
        view.nudge(1.0f, 0.0f);
        return false;
    case ID_VIEW_MOVE_LEFT:
        view.nudge(-1.0f, 0.0f);
        return false;
    case ID_VIEW_MOVE_UP:
        view.nudge(0.0f, 1.0f);
        return false;
    case ID_VIEW_MOVE_DOWN:
        view.nudge(0.0f, -1.0f);
        return false;
    case ID_VIEW_ESCAPE:
        view.escape();
        return false;
    default:
        return true;
    }
}

} // namespace vantry
