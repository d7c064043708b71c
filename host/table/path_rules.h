// How this platform spells paths. Everything that knows the separator lives here, so another
// platform's rules (Windows: both slashes, case-insensitive names) replace this one file.
#pragma once

#include <string>
#include <string_view>

namespace vhost::paths {

// `folder`, the separator and `name`; `name` alone when `folder` is empty. A separator that ends
// `folder` is not doubled.
std::string Join(std::string_view folder, std::string_view name);
// Everything before the last separator; empty when there is none. The root stays the root.
std::string_view Directory(std::string_view path);
// The part after the last separator (all of `path` when there is none).
std::string_view FileName(std::string_view path);
// The path without the extension of its last component, from that component's last '.'. A name
// that only starts with a dot (".config") has no extension.
std::string_view StripExtension(std::string_view path);
// 0 when both name the same file by this platform's rules (byte for byte here); <0 or >0 else.
int Compare(std::string_view a, std::string_view b);

}  // namespace vhost::paths
