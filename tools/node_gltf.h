// A glTF scene of a given number of nodes, for measuring the importer: a town of blocks of
// buildings under one root, every building showing one of eight meshes (so most are instances),
// the geometry a single triangle in a buffer kept inside the file.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace vtools {

inline constexpr std::size_t kBuildingsPerBlock = 99;
inline constexpr std::size_t kSharedMeshes = 8;

// Writes a glTF 2.0 scene of `nodes` nodes (at least 1): the root "Town", blocks "Block N" under
// it, buildings "Building N" under the blocks, each building moved along x.
inline void WriteNodeGltf(std::ostream& out, std::size_t nodes) {
    // Three float positions (0,0,0) (1,0,0) (0,1,0), then indices 0 1 2 as unsigned shorts and
    // two bytes of padding: 44 bytes.
    const char* buffer =
        "data:application/octet-stream;base64,"
        "AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAABAAIAAAA=";
    out << R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],)"
        << R"("buffers":[{"byteLength":44,"uri":")" << buffer << R"("}],)"
        << R"("bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},)"
        << R"({"buffer":0,"byteOffset":36,"byteLength":6}],)"
        << R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3",)"
        << R"("min":[0,0,0],"max":[1,1,0]},)"
        << R"({"bufferView":1,"componentType":5123,"count":3,"type":"SCALAR"}],"meshes":[)";
    for (std::size_t m = 0; m < kSharedMeshes; ++m) {
        out << (m > 0 ? "," : "")
            << R"({"primitives":[{"attributes":{"POSITION":0},"indices":1}]})";
    }
    out << R"(],"nodes":[)";
    const std::size_t buildings = nodes - 1;
    const std::size_t blocks = (buildings + kBuildingsPerBlock) / (kBuildingsPerBlock + 1);
    // Node 0 is the root, 1..blocks the blocks, the rest the buildings, block by block.
    out << R"({"name":"Town","children":[)";
    for (std::size_t b = 0; b < blocks; ++b) out << (b > 0 ? "," : "") << 1 + b;
    out << "]}";
    std::size_t next = 1 + blocks;
    for (std::size_t b = 0; b < blocks; ++b) {
        out << R"(,{"name":"Block )" << b << R"(","children":[)";
        for (std::size_t i = 0; i < kBuildingsPerBlock && next + i < nodes; ++i) {
            out << (i > 0 ? "," : "") << next + i;
        }
        out << "]}";
        next += kBuildingsPerBlock;
    }
    for (std::size_t n = 1 + blocks; n < nodes; ++n) {
        out << R"(,{"name":"Building )" << n << R"(","mesh":)" << n % kSharedMeshes
            << R"(,"translation":[)" << n % 1000 << ",0," << n / 1000 << "]}";
    }
    out << "]}\n";
}

}  // namespace vtools
