// Writes the importer's benchmark scene: make_node_gltf FILE [NODES] (default 100000 nodes).
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "node_gltf.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: make_node_gltf FILE [NODES]\n";
        return 2;
    }
    const std::size_t nodes = argc == 3 ? std::stoul(argv[2]) : 100000;
    std::ofstream out(argv[1], std::ios::binary);
    vtools::WriteNodeGltf(out, nodes == 0 ? 1 : nodes);
    out.close();
    if (!out) {
        std::cerr << "make_node_gltf: cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
