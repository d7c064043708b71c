// How paths are spelled. Everything that knows separators, drive letters and how names compare
// lives here. The host follows the rules of the system it runs on (kNative); both sets are built
// everywhere, so either can be tested on any system.
//
// POSIX: '/' separates, "/" is the root, names compare byte for byte.
// Windows: '\' and '/' both separate and '\' joins; a path may begin with a drive ("C:", root
// "C:\") or a server share ("\\server\share\"); names compare without regard to letter case and
// either separator matches the other.
#pragma once

#include <string>
#include <string_view>

namespace vhost::paths {

enum class Style { Posix, Windows };

#if defined(_WIN32)
inline constexpr Style kNative = Style::Windows;
#else
inline constexpr Style kNative = Style::Posix;
#endif

// `folder`, the separator and `name`; `name` alone when `folder` is empty. A separator that ends
// `folder` is not doubled, nor is one added after a bare drive ("C:" + "x" is "C:x").
std::string Join(std::string_view folder, std::string_view name, Style style = kNative);
// Everything before the last separator; empty when there is none. The root ("/", "C:\", "C:",
// "\\server\share\") stays the root.
std::string_view Directory(std::string_view path, Style style = kNative);
// The part after the last separator (all of `path` when there is none; after the drive of "C:x").
std::string_view FileName(std::string_view path, Style style = kNative);
// The path without the extension of its last component, from that component's last '.'. A name
// that only starts with a dot (".config") has no extension.
std::string_view StripExtension(std::string_view path, Style style = kNative);
// 0 when both name the same file by the style's rules; <0 or >0 else.
int Compare(std::string_view a, std::string_view b, Style style = kNative);

}  // namespace vhost::paths
