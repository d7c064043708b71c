// Integers in the byte order binary files use whatever the machine's: least significant byte
// first (the mesh file beside a scene, the BMP images the studio serves).
#pragma once

#include <cstdint>
#include <string>

namespace vhost {

inline void AppendLittleEndian16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFFU);
    out += static_cast<char>((value >> 8U) & 0xFFU);
}

inline void AppendLittleEndian32(std::string& out, std::uint32_t value) {
    AppendLittleEndian16(out, static_cast<std::uint16_t>(value & 0xFFFFU));
    AppendLittleEndian16(out, static_cast<std::uint16_t>(value >> 16U));
}

}  // namespace vhost
