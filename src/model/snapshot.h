#pragma once

#include "model/geometry.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantry {

class Link;
class Network;
class Node;

// The exact binary form of a whole network that the undo history keeps: every float bit for
// bit, automatic lengths still automatic, descriptions and the background path byte for byte,
// in columns of fixed-size little-endian fields that compress well. Unlike the text format it
// rounds nothing and needs no number parsing.
std::string encodeSnapshot(const Network& network);

// The same bytes with the ends of their sections (the header, then one section per column, then
// the descriptions, the background and the georeference, empty for a network not placed), so
// that a history can keep a section that did not change only once.
struct SnapshotSections {
    std::string bytes;
    std::vector<std::size_t> ends;
};
SnapshotSections encodeSnapshotSections(const Network& network);

// Makes `network` exactly the network the snapshot was taken of, whatever it holds now. Nodes
// and links are reused in place where they can be (an Undo of a small edit on a large network
// touches no allocator); those beyond the snapshot's counts are deleted. Every byte is checked
// before anything changes: on failure `why` says what is wrong and the network is untouched.
// The network's precision is not part of a snapshot and is left as it was.
// When `changes` is given it learns what the restore changed.
struct RestoreChanges {
    // Objects were added or removed, a link joins other nodes, or the background or the
    // georeference changed: the lists below are then not kept.
    bool reshaped = false;
    // Nodes that moved, with where they were.
    std::vector<std::pair<Node*, WorldPoint>> moved;
    // Links with any other attribute changed.
    std::vector<Link*> links;
};
bool restoreSnapshot(std::string_view bytes, Network& network, std::string* why = nullptr,
                     RestoreChanges* changes = nullptr);

// restoreSnapshot into an empty network: on failure `into` stays empty.
bool decodeSnapshot(std::string_view bytes, Network& into, std::string* why = nullptr);

} // namespace vantry
