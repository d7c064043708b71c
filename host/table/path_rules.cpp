#include "table/path_rules.h"

namespace vhost::paths {

namespace {

constexpr char kSeparator = '/';

bool IsSeparator(char c) { return c == kSeparator; }

std::size_t LastSeparator(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1])) return i - 1;
    }
    return std::string_view::npos;
}

}  // namespace

std::string Join(std::string_view folder, std::string_view name) {
    std::string joined(folder);
    if (!joined.empty() && !IsSeparator(joined.back())) joined += kSeparator;
    joined += name;
    return joined;
}

std::string_view Directory(std::string_view path) {
    std::size_t separator = LastSeparator(path);
    if (separator == std::string_view::npos) return {};
    return path.substr(0, separator == 0 ? 1 : separator);
}

std::string_view FileName(std::string_view path) {
    std::size_t separator = LastSeparator(path);
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string_view StripExtension(std::string_view path) {
    std::string_view name = FileName(path);
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return path;
    return path.substr(0, path.size() - (name.size() - dot));
}

int Compare(std::string_view a, std::string_view b) {
    int order = a.compare(b);
    return (order > 0) - (order < 0);
}

}  // namespace vhost::paths
