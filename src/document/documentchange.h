#pragma once

#include "model/geometry.h"

#include <optional>

namespace vantry {

// What changed in a document, as its views and docks hear of it.
enum class ChangeKind {
    // Anything may have changed, every object is still the one it was: draw everything again.
    Redraw,
    // Every object was replaced (an open, a revert, an undo that added or removed objects):
    // nothing a view kept about objects (its selection, a drag) may be used again.
    NetworkReplaced,
    // The background picture, or its place, changed.
    BackgroundChanged,
    // Street data was loaded under the network; the network did not change.
    StreetsLoaded,
    // An edit changed only objects inside the area, as they were and as they are; nothing was
    // added or removed.
    AreaChanged,
    // Undo or Redo changed only objects inside the area and kept every object in place; views
    // drop their selection and drag as after every undo and redo.
    AreaRestored,
};

// One change of a document: its kind and, for the area kinds, the world rectangle that holds
// every object it changed, before and after (none when no object changed).
struct DocumentChange {
    ChangeKind kind = ChangeKind::Redraw;
    std::optional<WorldRect> area;

    DocumentChange(ChangeKind k = ChangeKind::Redraw, std::optional<WorldRect> a = std::nullopt)
        : kind(k), area(a) {}
};

// Anything that shows a document and must hear about its changes (map views, the docks).
class DocumentObserver {
public:
    virtual ~DocumentObserver() = default;
    virtual void OnUpdate(DocumentObserver* sender, const DocumentChange& change) = 0;
};

} // namespace vantry
