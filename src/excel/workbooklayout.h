#pragma once

#include "base/files.h"
#include "model/workbooklimits.h"

#include <string>

namespace vantry {

class Network;

// What the workbook layout asks and tells the user. The program shows these as message boxes
// (a question with Yes and No; a message with the error icon and OK); tests script them.
struct WorkbookPrompts {
    virtual ~WorkbookPrompts() = default;
    // True for Yes.
    virtual bool askYesNo(const std::string& question) = 0;
    virtual void showMessage(const std::string& message) = 0;
    // Something the user should know about an operation that went ahead: a workbook opened only
    // in part, with the cells that ended it.
    virtual void showWarning(const std::string& message) = 0;
};

// The messages of the workbook layout, word for word.
inline constexpr const char* kNotTravonaQuestion =
    "This workbook was not created for Travona.\nDo you wish to continue?";
inline constexpr const char* kTooLargeMessage =
    "Network has too many links and/or nodes to\nsave to Travona's Excel format.";
inline constexpr const char* kUnableToLoadMessage = "Unable to load data from Excel workbook.";
inline constexpr const char* kUnableToSaveMessage = "Unable to save data to Excel workbook";

// The tag in cell A1 of a Travona workbook and the sheet that holds the network.
inline constexpr const char* kWorkbookTag = "KX101";
inline constexpr const char* kWorkbookSheet = "Sheet1";

// Fills the empty network from the "Sheet1" worksheet of the Travona workbook at fileName: links
// from rows 4 to 203 and nodes from rows 213 to 312; the rows around them are the user's. A cell
// of a block that cannot be read ends that block: the network keeps what was read before it and
// a warning names the cell and the reason (a background cell that cannot be read leaves the
// network without its picture). Returns false, with the network left empty, when the user
// declines a workbook without the tag (a message then says what the workbook lacks), or when the
// workbook cannot be opened (a message saying why).
bool LoadFromWorkbook(Network& network, const std::string& fileName, WorkbookPrompts& prompts);

// Writes the network into the "Sheet1" worksheet of the workbook at fileName, keeping everything
// else the workbook holds; a new workbook is made only when no file exists there, and is written
// once, complete. Each link's two-way side is written as its heading gives it (0 for a link
// without a reverse twin); the network itself is left as it was. Returns false after a message
// when the network exceeds the layout's 200 links or 100 nodes (nothing is touched), or when the
// workbook cannot be opened or written; the file on disk then stays as it was. A workbook marked
// read-only is replaced only when `readOnly` says so.
bool SaveToWorkbook(const Network& network, const std::string& fileName, WorkbookPrompts& prompts,
                    ReadOnlyFiles readOnly = ReadOnlyFiles::Refuse);

// A number in fixed notation with that many decimals, as a stream writes it.
std::string FormatFixed(double value, int decimals);

} // namespace vantry
