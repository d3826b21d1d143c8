#pragma once

#include "document/documentchange.h"

#include <optional>
#include <vector>

namespace vantry {

// A view that only keeps what its document told it, in order.
class RecordingView : public DocumentObserver {
public:
    std::vector<ChangeKind> hints;
    std::vector<std::optional<WorldRect>> areas;
    void OnUpdate(DocumentObserver*, const DocumentChange& change) override {
        hints.push_back(change.kind);
        areas.push_back(change.area);
    }
    void clear() {
        hints.clear();
        areas.clear();
    }
};

} // namespace vantry
