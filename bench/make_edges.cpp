// Writes the generated EDGES shapefile the benchmarks read, for scripts that time other tools
// on the same file: make_edges OUT.shp [EDGES].

#include "edgesfile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace vantry;

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: vantry_make_edges OUT.shp [EDGES]\n");
        return 2;
    }
    const int edges = argc == 3 ? std::atoi(argv[2]) : 50000;
    std::string why;
    if (edges < 1 || !writeEdgesShapefile(argv[1], edges, why)) {
        std::fprintf(stderr, "vantry_make_edges: %s\n",
                     why.empty() ? "bad edge count" : why.c_str());
        return 1;
    }
    return 0;
}
