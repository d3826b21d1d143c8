#pragma once

// OpenStreetMap files (XML, bzip2- or gzip-compressed XML, PBF) read straight into street lines,
// whatever order their objects come in: the files other programs hand out put nodes in any id
// order, after the ways, or with negative ids for objects not yet uploaded. Used by the street
// data module only.

#include "streets/streetreader.h"

#include <string>

namespace vantry {

// The one layer an OpenStreetMap file offers: its ways.
extern const char* const kOsmLayer;

// True when the file is OpenStreetMap data: by its name (.osm, .osm.bz2, .osm.gz, .pbf, in any
// letter case), or, for other names, by its first bytes.
bool isOsmFile(const std::string& path);

// Reads the file's header only; false, with why naming the file and the reason, when it is not
// OpenStreetMap data that can be read.
bool checkOsmFile(const std::string& path, std::string& why);

// Reads the ways that are streets or water, and railways when the options ask for them, into
// chains (result.layer is kOsmLayer); osmLineKind decides. False, with why naming the file and
// the reason, when the file is damaged, holds no such way with two located nodes, or the read
// was cancelled (result.cancelled then says so).
bool readOsmChains(const std::string& path, const StreetReadOptions& options, StreetRead& result,
                   std::string& why, const StreetProgress& progress);

} // namespace vantry
