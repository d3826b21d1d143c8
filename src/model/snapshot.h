#pragma once

#include <string>
#include <string_view>

class Network;

// The exact binary form of a whole network that the undo history keeps: every float bit for
// bit, automatic lengths still automatic, descriptions and the background path byte for byte,
// in columns of fixed-size little-endian fields that compress well. Unlike the text format it
// rounds nothing and needs no number parsing.
std::string encodeSnapshot(const Network& network);

// Rebuilds a network from encodeSnapshot's bytes into `into`, which must be empty. On failure
// `why` says what is wrong and `into` is left empty. The network's precision is not part of a
// snapshot and is left as it was.
bool decodeSnapshot(std::string_view bytes, Network& into, std::string* why = nullptr);
