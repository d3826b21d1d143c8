// Writes the benchmarks' street grid as a network file and its links as GeoJSON lines, so that
// the whole-program timings can compare the editor's tools with GIS tools on the same data.
// Usage: vantry_county_files NETWORK.txt LINES.geojson [LINKS]

#include "gridnetwork.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

using namespace vantry;

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::cerr << "usage: vantry_county_files NETWORK.txt LINES.geojson [LINKS]\n";
        return 2;
    }
    const long long links = argc == 4 ? std::atoll(argv[3]) : 100000;
    if (links < 4) {
        std::cerr << "vantry_county_files: LINKS must be a whole number of at least 4\n";
        return 2;
    }
    const std::unique_ptr<Network> net = buildGrid(links);
    std::ofstream text(argv[1], std::ios::binary);
    if (!net->write(text) || !text.flush()) {
        std::cerr << "vantry_county_files: cannot write " << argv[1] << "\n";
        return 1;
    }
    std::ofstream json(argv[2], std::ios::binary);
    json << "{\"type\":\"FeatureCollection\",\"features\":[\n";
    char buffer[256];
    bool first = true;
    for (const Link* l : net->links()) {
        std::snprintf(buffer, sizeof buffer,
                      "%s{\"type\":\"Feature\",\"properties\":{\"id\":%d},\"geometry\":"
                      "{\"type\":\"LineString\",\"coordinates\":[[%.9g,%.9g],[%.9g,%.9g]]}}\n",
                      first ? "" : ",", l->id(), static_cast<double>(l->fromNode()->x()),
                      static_cast<double>(l->fromNode()->y()),
                      static_cast<double>(l->toNode()->x()), static_cast<double>(l->toNode()->y()));
        json << buffer;
        first = false;
    }
    json << "]}\n";
    if (!json.flush()) {
        std::cerr << "vantry_county_files: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
