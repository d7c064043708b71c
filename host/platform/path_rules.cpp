#include "platform/path_rules.h"

#include <algorithm>

#if defined(_WIN32)
#include <windows.h>

#include "platform/utf8_path.h"
#endif

namespace vhost::paths {

namespace {

bool IsSeparator(char c, Style style) { return c == '/' || (style == Style::Windows && c == '\\'); }

char JoiningSeparator(Style style) { return style == Style::Windows ? '\\' : '/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool StartsWithDrive(std::string_view path, Style style) {
    return style == Style::Windows && path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':';
}

// The end of the first separator at or after `from` in `path`, or its size.
std::size_t PastNextSeparator(std::string_view path, std::size_t from, Style style) {
    while (from < path.size() && !IsSeparator(path[from], style)) ++from;
    return std::min(from + 1, path.size());
}

// The length of the path's root: "/" (1); "C:" (2) or "C:\" (3); "\\server\share\" (through the
// separator after the share); 0 for a relative path.
std::size_t RootLength(std::string_view path, Style style) {
    if (StartsWithDrive(path, style)) {
        return path.size() > 2 && IsSeparator(path[2], style) ? 3 : 2;
    }
    if (path.empty() || !IsSeparator(path[0], style)) return 0;
    if (style == Style::Windows && path.size() > 2 && IsSeparator(path[1], style)) {
        const std::size_t afterServer = PastNextSeparator(path, 2, style);
        return PastNextSeparator(path, afterServer, style);
    }
    return 1;
}

std::size_t LastSeparator(std::string_view path, Style style) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1], style)) return i - 1;
    }
    return std::string_view::npos;
}

char FoldForComparison(char c, Style style) {
    if (style == Style::Posix) return c;
    if (c == '/') return '\\';
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    return c;
}

int CompareFolded(std::string_view a, std::string_view b, Style style) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(FoldForComparison(a[i], style));
        const auto y = static_cast<unsigned char>(FoldForComparison(b[i], style));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

#if defined(_WIN32)
// Letter case of every script, as the file system itself compares names.
int CompareAsTheSystem(std::string_view a, std::string_view b) {
    std::wstring x = PathFromUtf8(a).wstring();
    std::wstring y = PathFromUtf8(b).wstring();
    std::replace(x.begin(), x.end(), L'/', L'\\');
    std::replace(y.begin(), y.end(), L'/', L'\\');
    const int order = CompareStringOrdinal(x.data(), static_cast<int>(x.size()), y.data(),
                                           static_cast<int>(y.size()), TRUE);
    return order == CSTR_EQUAL ? 0 : (order == CSTR_LESS_THAN ? -1 : 1);
}
#endif

}  // namespace

std::string Join(std::string_view folder, std::string_view name, Style style) {
    std::string joined(folder);
    const bool bareDrive = StartsWithDrive(folder, style) && folder.size() == 2;
    if (!joined.empty() && !IsSeparator(joined.back(), style) && !bareDrive) {
        joined += JoiningSeparator(style);
    }
    joined += name;
    return joined;
}

std::string_view Directory(std::string_view path, Style style) {
    const std::size_t root = RootLength(path, style);
    const std::size_t separator = LastSeparator(path, style);
    if (separator != std::string_view::npos && separator >= root) return path.substr(0, separator);
    return path.substr(0, root);
}

std::string_view FileName(std::string_view path, Style style) {
    const std::size_t separator = LastSeparator(path, style);
    if (separator != std::string_view::npos) return path.substr(separator + 1);
    return StartsWithDrive(path, style) ? path.substr(2) : path;
}

std::string_view StripExtension(std::string_view path, Style style) {
    const std::string_view name = FileName(path, style);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return path;
    return path.substr(0, path.size() - (name.size() - dot));
}

int Compare(std::string_view a, std::string_view b, Style style) {
#if defined(_WIN32)
    if (style == Style::Windows) return CompareAsTheSystem(a, b);
#endif
    return CompareFolded(a, b, style);
}

}  // namespace vhost::paths
