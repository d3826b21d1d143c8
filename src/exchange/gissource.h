#pragma once

#include "exchange/exchangetables.h"
#include "exchange/importrows.h"
#include "exchange/networkimport.h"

#include <string>

namespace vantry {

// Reads the GIS file's link layer (source.layer when set, else the layer named "links", else the
// first one) for its fields. Lengths and speeds are taken as miles and mph when the file is one
// this program exported; otherwise they are left to be asked. False, with why naming the file,
// when the layer does not hold lines.
bool inspectGis(const std::string& path, ImportSource& source, std::string& why);

// Reads the layer's rows and its nodes: by the from and to node ids when the mapping names their
// fields, placed by the file's "nodes" layer or else by the ends of the lines; otherwise where
// line ends meet (ends within a small tolerance share a node), the mapping then naming the ids
// given to them.
bool readGis(const ImportSource& source, FieldMapping& mapping, ImportData& data, std::string& why,
             const ExchangeProgress& progress = {});

// The line ends of a table joined into nodes: ends within tolerance (a millionth of the
// extent) of each other share one. Each row's first and last end, as an index into `nodes`;
// rows without points get none (-1).
void joinLineEnds(const FeatureTable& table, ImportNodes& nodes,
                  std::vector<std::ptrdiff_t>& rowEnds);

} // namespace vantry
