#include "app/propertyeditors.h"

#include "dialogs/dialogbuttons.h"
#include "dialogs/linkdlg.h"
#include "dialogs/nodedlg.h"

#include <memory>

namespace vantry {

// The dialog stays alive inside the returned change until the view has taken its undo snapshot
// and applied it.
std::function<void()> AppPropertyEditors::editNode(Node& node, QWidget* parent) {
    auto dialog = std::make_shared<CNodeDlg>(node, prompter_, parent);
    if (execWindowModal(*dialog) != QDialog::Accepted)
        return {};
    return [dialog] { dialog->apply(); };
}

std::function<void()> AppPropertyEditors::editLinks(const std::vector<Link*>& links,
                                                    QWidget* parent) {
    auto dialog = std::make_shared<CLinkDlg>(links, prompter_, parent);
    if (execWindowModal(*dialog) != QDialog::Accepted)
        return {};
    return [dialog] { dialog->apply(); };
}

} // namespace vantry
