#pragma once

#include "view/vantryview.h"

namespace vantry {

class Prompter;

// The link and node property dialogs, as the map views ask for them.
class AppPropertyEditors : public PropertyEditors {
public:
    explicit AppPropertyEditors(Prompter& prompter) : prompter_(prompter) {}
    std::function<void()> editNode(Node& node, QWidget* parent) override;
    std::function<void()> editLinks(const std::vector<Link*>& links, QWidget* parent) override;

private:
    Prompter& prompter_;
};

} // namespace vantry
