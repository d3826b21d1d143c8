#pragma once

#include "exchange/networkimport.h"
#include "view/commands.h"

#include <functional>
#include <optional>
#include <string>

namespace vantry {

class CVantryApp;
class CVantryDoc;
class Prompter;

// File > Export and File > Import: the active network written to a GIS file or a GMNS folder,
// and a new network made from one, after the user has confirmed which field gives which link
// attribute.
class ExchangeCommands : public CommandTarget {
public:
    // Shows the import's field mapping and units to the user; no answer when cancelled.
    using MappingChooser = std::function<std::optional<ImportChoices>(const ImportSource&)>;

    ExchangeCommands(CVantryApp& app, Prompter& prompter);
    // The mapping dialog unless another chooser is given (tests script the answers).
    void setMappingChooser(MappingChooser chooser) { chooseMapping_ = std::move(chooser); }

    std::optional<CommandState> query(int id) const override;

    // The file filter of Export's save dialog: GeoPackage first, then the other GIS formats and
    // a GMNS folder, which is a name without an extension.
    static std::string exportFilter();
    // The file filter of Import's open dialog.
    static std::string importFilter();
    // What an open dialog's answer stands for: a GMNS folder's node.csv or config.csv stands
    // for the folder; anything else for itself.
    static std::string importSourcePath(const std::string& chosen);

protected:
    void run(int id) override;

private:
    void exportDocument(CVantryDoc& doc);
    void importFile();

    CVantryApp& app_;
    Prompter& prompter_;
    MappingChooser chooseMapping_;
};

} // namespace vantry
