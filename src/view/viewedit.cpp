// The view's edit commands: properties, delete, cut, copy, paste, copy image and nudging the
// selected nodes.

#include "model/editing.h"
#include "view/clipboard.h"
#include "view/vantryview.h"

#include <unordered_set>

namespace vantry {

bool CVantryView::propertiesAvailable() const {
    const std::size_t nodes = selection_.nodeCount(), links = selection_.linkCount();
    return nodes + links == 1 || (nodes == 0 && links >= 1);
}

void CVantryView::showProperties() {
    if (!propertiesAvailable() || !editors_)
        return;
    std::function<void()> change;
    if (selection_.nodeCount() == 1)
        change = editors_->editNode(*selection_.selectedNodes().front(), this);
    else
        change = editors_->editLinks(selection_.selectedLinks(), this);
    if (!change)
        return;
    std::vector<Node*> nodes;
    std::vector<Link*> links;
    if (selection_.nodeCount() == 1)
        nodes = selection_.selectedNodes();
    else
        links = selection_.selectedLinks();
    doc_->editObjects(nodes.empty() ? "Link Properties" : "Node Properties", nodes, links,
                      [&](Network& net) {
                          change();
                          // A node moved in its dialog changes the network's extent.
                          net.recomputeBounds();
                          return true;
                      });
}

void CVantryView::deleteSelection(const char* name) {
    bool kept = false;
    std::vector<Link*> links = selection_.selectedLinks();
    std::vector<Node*> nodes = selection_.selectedNodes();
    doc_->edit(name, [&](Network& net) {
        kept = !vantry::deleteSelection(net, links, nodes);
        return true;
    });
    // Deleted objects leave the selection; nodes that still have links stay selected.
    const std::unordered_set<const Node*> stay(nodes.begin(), nodes.end());
    selection_.retain([&](const Node* n) { return stay.count(n) != 0; },
                      [](const Link*) { return false; });
    if (!selection_.lastNode() || !selection_.contains(selection_.lastNode()))
        clickedNode_ = nullptr;
    clickedLink_ = nullptr;
    if (kept && doc_->prompter())
        doc_->prompter()->showMessage(kNodesStillLinkedMessage, Prompter::Icon::Exclamation);
}

void CVantryView::copySelection() {
    putNetworkOnClipboard(clipboardText(selection_));
}

void CVantryView::paste() {
    const auto text = networkFromClipboard();
    if (!text)
        return;
    PastedObjects pasted;
    std::string why;
    bool ok = true;
    selection_.clear();
    const bool pastedAny = doc_->edit("Paste", [&](Network& net) {
        ok = pasteClipboardText(net, *text, pasted, &why);
        return ok && !(pasted.nodes.empty() && pasted.links.empty());
    });
    if (!ok && doc_->prompter())
        doc_->prompter()->showMessage("Cannot paste: " + why + ".", Prompter::Icon::Exclamation);
    // A paste the document refused no longer has the objects it made.
    if (!pastedAny) {
        rerender();
        return;
    }
    for (Node* n : pasted.nodes)
        selection_.addNode(n);
    for (Link* l : pasted.links)
        selection_.addLink(l);
    setClicked(selection_.lastNode(), selection_.lastLink());
    rerender();
}

void CVantryView::copyImage() {
    putImageOnClipboard(offscreen_);
}

void CVantryView::nudge(float dx, float dy) {
    // Nothing to move: no undo step, and the document stays as it was.
    if (selection_.nodeCount() == 0)
        return;
    const WorldPoint offset{dx / transform_.scale, dy / transform_.scale};
    const std::vector<Node*> nodes = selection_.selectedNodes();
    doc_->editObjects("Move Nodes", nodes, {}, [&](Network& net) {
        moveNodes(nodes, offset);
        net.recomputeBounds();
        return true;
    });
}

} // namespace vantry
