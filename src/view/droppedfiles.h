#pragma once

#include <optional>
#include <string>
#include <vector>

class QMimeData;

namespace vantry {

// The network files among those dragged from the desktop, in their order: local files whose
// names end in ".txt" or ".xls", as File Open takes them.
std::vector<std::string> droppedNetworkFiles(const QMimeData& data);

// The one picture dragged onto a map view to become its background: a single local file whose
// name ends as a picture's does (".bmp", ".png", ".jpg" and the like, in any case).
std::optional<std::string> droppedPicture(const QMimeData& data);

} // namespace vantry
