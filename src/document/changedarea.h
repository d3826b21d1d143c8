#pragma once

#include "model/geometry.h"

#include <optional>
#include <vector>

namespace vantry {

class Link;
class Node;
struct RestoreChanges;

// Where an edit that adds and removes nothing changed the map, so that views redraw only there.

// The links attached to any of the given nodes, with the given links: every link whose drawing
// follows the objects. A link may come twice.
std::vector<const Link*> linksAround(const std::vector<Node*>& nodes,
                                     const std::vector<Link*>& links);

// The rectangle holding the nodes and both ends of the links; nothing when there is none.
std::optional<WorldRect> areaOf(const std::vector<Node*>& nodes,
                                const std::vector<const Link*>& links);

// After an undo or redo that kept every object: where the moved nodes were, and where they,
// their links and the changed links are now.
std::optional<WorldRect> restoredArea(const RestoreChanges& changes);

// The smallest rectangle holding both; nothing only when neither is anything.
std::optional<WorldRect> united(std::optional<WorldRect> a, const std::optional<WorldRect>& b);

} // namespace vantry
