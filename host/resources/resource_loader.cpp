// The folder: which of its files are parts of a resource, and the order they are read in (symbol
// headers, descriptions, string tables, the descriptions' string tables), so that every file
// finds the symbols and descriptions it refers to.
#include "resources/resource_loader.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/file_reading.h"
#include "platform/utf8_path.h"
#include "resources/description_reader.h"
#include "resources/resource_file_reader.h"
#include "resources/string_table_reader.h"
#include "resources/symbol_header_reader.h"

namespace vhost {

namespace {

using resources::FileReader;
using resources::LoadState;
using resources::ReadDescription;
using resources::ReadStringTable;
using resources::ReadSymbolHeader;
using resources::StringTableRead;

std::string DisplayPath(std::string_view folder, std::string_view path) {
    if (folder.empty()) return std::string(path);
    std::string joined(folder);
    if (joined.back() != '/') joined += '/';
    joined += path;
    return joined;
}

std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        std::size_t slash = path.find('/');
        parts.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() > suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

constexpr std::string_view kSymbolHeader = "c4d_symbols.h";
constexpr std::string_view kStringTable = "c4d_strings.str";
constexpr std::string_view kDescriptionFolder = "description";
constexpr std::string_view kStringsPrefix = "strings_";

// The parts of a resource among the given files, in the order they are read.
struct Sorted {
    const ResourceFile* symbolHeader = nullptr;
    std::vector<const ResourceFile*> descriptionHeaders;
    std::vector<const ResourceFile*> descriptions;
    std::vector<std::pair<const ResourceLanguage*, const ResourceFile*>> stringTables;
    std::vector<std::pair<const ResourceLanguage*, const ResourceFile*>> descriptionTables;
};

Sorted SortFiles(std::span<const ResourceFile> files, std::vector<std::string>& ignored) {
    Sorted sorted;
    for (const ResourceFile& file : files) {
        std::vector<std::string_view> parts = SplitPath(file.path);
        if (parts.size() == 1 && parts[0] == kSymbolHeader) {
            sorted.symbolHeader = &file;
        } else if (parts.size() == 2 && parts[0] == kDescriptionFolder) {
            if (EndsWith(parts[1], ".h")) sorted.descriptionHeaders.push_back(&file);
            if (EndsWith(parts[1], ".res")) sorted.descriptions.push_back(&file);
        } else if (parts.size() >= 2 &&
                   parts[0].substr(0, kStringsPrefix.size()) == kStringsPrefix) {
            const ResourceLanguage* language =
                FindLanguageByFolder(parts[0].substr(kStringsPrefix.size()));
            if (language == nullptr) {
                if (std::find(ignored.begin(), ignored.end(), parts[0]) == ignored.end()) {
                    ignored.emplace_back(parts[0]);
                }
            } else if (parts.size() == 2 && parts[1] == kStringTable) {
                sorted.stringTables.emplace_back(language, &file);
            } else if (parts.size() == 3 && parts[1] == kDescriptionFolder &&
                       EndsWith(parts[2], ".str")) {
                sorted.descriptionTables.emplace_back(language, &file);
            }
        }
    }
    auto byPath = [](const auto& a, const auto& b) { return a->path < b->path; };
    auto pairByPath = [](const auto& a, const auto& b) { return a.second->path < b.second->path; };
    std::sort(sorted.descriptionHeaders.begin(), sorted.descriptionHeaders.end(), byPath);
    std::sort(sorted.descriptions.begin(), sorted.descriptions.end(), byPath);
    std::sort(sorted.stringTables.begin(), sorted.stringTables.end(), pairByPath);
    std::sort(sorted.descriptionTables.begin(), sorted.descriptionTables.end(), pairByPath);
    std::sort(ignored.begin(), ignored.end());
    return sorted;
}

std::string TooLarge() {
    return "larger than " + std::to_string(kMaxResourceFileSize >> 20) +
           " MiB; a resource file this large is not read";
}

FileReader ReaderOf(LoadState& state, std::string_view folder, const ResourceFile& file,
                    bool header) {
    return FileReader(state, DisplayPath(folder, file.path), file.text, header);
}

// The symbol header and the descriptions' headers. When one is missing or broken the symbols
// are incomplete, which quiets the unknown-symbol errors that would follow from it.
void LoadSymbolHeaders(std::string_view folder, const Sorted& sorted, LoadState& state,
                       bool symbolHeaderUnreadable) {
    if (sorted.symbolHeader != nullptr) {
        FileReader in = ReaderOf(state, folder, *sorted.symbolHeader, true);
        ReadSymbolHeader(in);
        state.symbolsIncomplete = in.HasErrors();
    } else {
        if (!symbolHeaderUnreadable) {
            state.errors.push_back({DisplayPath(folder, kSymbolHeader), 0, 0,
                                    "missing: every resource needs its symbol header"});
        }
        state.symbolsIncomplete = true;
    }
    bool headersIncomplete = false;
    for (const ResourceFile* file : sorted.descriptionHeaders) {
        FileReader in = ReaderOf(state, folder, *file, true);
        ReadSymbolHeader(in);
        headersIncomplete = headersIncomplete || in.HasErrors();
    }
    state.symbolsIncomplete = state.symbolsIncomplete || headersIncomplete;
}

// Keeps the descriptions read without errors. A name defined twice is an error of the second
// file; the first keeps the name.
void LoadDescriptions(std::string_view folder, const Sorted& sorted, LoadState& state) {
    for (const ResourceFile* file : sorted.descriptions) {
        FileReader in = ReaderOf(state, folder, *file, false);
        Description description;
        bool read = ReadDescription(in, description);
        if (description.name.empty()) continue;  // not even its name could be read
        auto [first, added] = state.descriptionFiles.try_emplace(description.name, in.File());
        if (!added) {
            state.errors.push_back({in.File(), 0, 0,
                                    "the description " + description.name + " is defined again (" +
                                        first->second + " defines it first)"});
            continue;
        }
        if (read && !in.HasErrors()) {
            state.resource.descriptions[description.name] = std::move(description);
        }
    }
}

void LoadStringTables(std::string_view folder, const Sorted& sorted, LoadState& state) {
    for (const auto& [language, file] : sorted.stringTables) {
        FileReader in = ReaderOf(state, folder, *file, false);
        StringTableRead table;
        if (!ReadStringTable(in, false, table) || in.HasErrors()) continue;
        state.resource.strings[std::string(language->code)] = std::move(table.texts);
    }
}

// A description's string table names a description that was not kept. When the description
// exists but had errors, those errors say enough; otherwise the table names no description.
void ReportTableWithoutDescription(const Sorted& sorted, LoadState& state, const FileReader& in,
                                   const StringTableRead& table) {
    std::string expected = std::string(kDescriptionFolder) + "/" + table.name + ".res";
    bool fileExists =
        std::any_of(sorted.descriptions.begin(), sorted.descriptions.end(),
                    [&](const ResourceFile* description) { return description->path == expected; });
    if (!state.descriptionFiles.contains(table.name) && !fileExists) {
        state.errors.push_back({in.File(), table.nameLine, table.nameColumn,
                                "there is no description " + table.name +
                                    " for this string table (expected description/" + table.name +
                                    ".res)"});
    }
}

// Gives the description's parameters and title their texts in the table's language.
void ApplyDescriptionTable(const Resource& resource, const StringTableRead& table,
                           const std::string& code, Description& description) {
    for (DescriptionParameter& parameter : description.parameters) {
        auto text = table.texts.find(parameter.id);
        if (parameter.id != 0 && text != table.texts.end()) {
            parameter.labels[code] = text->second;
        }
    }
    if (std::optional<std::int32_t> id = resource.FindSymbol(description.nameSymbol)) {
        auto title = table.texts.find(*id);
        if (title != table.texts.end()) description.titles[code] = title->second;
    }
}

void LoadDescriptionTables(std::string_view folder, const Sorted& sorted, LoadState& state) {
    for (const auto& [language, file] : sorted.descriptionTables) {
        FileReader in = ReaderOf(state, folder, *file, false);
        StringTableRead table;
        if (!ReadStringTable(in, true, table) || in.HasErrors()) continue;
        auto found = state.resource.descriptions.find(table.name);
        if (found == state.resource.descriptions.end()) {
            ReportTableWithoutDescription(sorted, state, in, table);
            continue;
        }
        ApplyDescriptionTable(state.resource, table, std::string(language->code), found->second);
    }
}

void LoadFiles(std::string_view folder, std::span<const ResourceFile> given, LoadState& state,
               bool symbolHeaderUnreadable) {
    Resource& resource = state.resource;
    resource.folder = std::string(folder);
    std::vector<ResourceFile> files;
    for (const ResourceFile& file : given) {
        if (file.text.size() <= kMaxResourceFileSize) {
            files.push_back(file);
            continue;
        }
        state.errors.push_back({DisplayPath(folder, file.path), 0, 0, TooLarge()});
        if (file.path == kSymbolHeader) symbolHeaderUnreadable = true;
    }
    const Sorted sorted = SortFiles(files, resource.ignored);
    LoadSymbolHeaders(folder, sorted, state, symbolHeaderUnreadable);
    LoadDescriptions(folder, sorted, state);
    LoadStringTables(folder, sorted, state);
    LoadDescriptionTables(folder, sorted, state);
}

ResourceLoad Finish(LoadState& state) {
    ResourceLoad load;
    if (state.errors.empty()) {
        load.resource = std::move(state.resource);
    } else {
        load.errors = std::move(state.errors);
    }
    return load;
}

// Reads one file whole; false with an error recorded when it cannot be.
bool ReadResourceFile(const std::filesystem::path& path, const std::string& display,
                      std::string& text, std::vector<ResourceError>& errors) {
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > kMaxResourceFileSize) {
        errors.push_back({display, 0, 0, TooLarge()});
        return false;
    }
    if (!error && ReadWholeFile(path, text).error == 0) return true;
    errors.push_back({display, 0, 0, "cannot be read"});
    return false;
}

}  // namespace

ResourceLoad LoadResourceFromFiles(std::string_view folder, std::span<const ResourceFile> files) {
    LoadState state;
    LoadFiles(folder, files, state, false);
    return Finish(state);
}

ResourceLoad LoadResourceFolder(std::string_view folder) {
    namespace fs = std::filesystem;
    LoadState state;
    std::string display(folder);
    fs::path root = PathFromUtf8(folder);
    std::error_code error;
    fs::file_status status = fs::status(root, error);
    if (!fs::exists(status)) {
        state.errors.push_back({display, 0, 0, "no such folder"});
        return Finish(state);
    }
    if (!fs::is_directory(status)) {
        state.errors.push_back({display, 0, 0, "not a folder"});
        return Finish(state);
    }

    // The paths inside the folder that may hold parts of a resource.
    std::vector<std::string> candidates{std::string(kSymbolHeader)};
    auto list = [&](const std::string& relative, auto&& take) {
        fs::path directory = root / PathFromUtf8(relative);
        if (!fs::is_directory(directory, error)) return;
        fs::directory_iterator it(directory, error);
        if (error) {
            state.errors.push_back({DisplayPath(folder, relative), 0, 0, "cannot be read"});
            return;
        }
        for (; it != fs::directory_iterator(); it.increment(error)) {
            take(Utf8FromPath(it->path().filename()), relative);
        }
        if (error) state.errors.push_back({DisplayPath(folder, relative), 0, 0, "cannot be read"});
    };
    auto addFile = [&](const std::string& name, const std::string& relative) {
        candidates.push_back(relative + "/" + name);
    };
    list(std::string(kDescriptionFolder), addFile);
    list(".", [&](const std::string& name, const std::string&) {
        if (name.rfind(kStringsPrefix, 0) != 0) return;
        candidates.push_back(name + "/" + std::string(kStringTable));
        list(name + "/" + std::string(kDescriptionFolder), addFile);
    });

    std::vector<ResourceFile> files;
    bool symbolHeaderUnreadable = false;
    for (const std::string& relative : candidates) {
        fs::path path = root / PathFromUtf8(relative);
        if (!fs::is_regular_file(path, error)) continue;
        ResourceFile file{relative, {}};
        if (ReadResourceFile(path, DisplayPath(folder, relative), file.text, state.errors)) {
            files.push_back(std::move(file));
        } else if (relative == kSymbolHeader) {
            symbolHeaderUnreadable = true;
        }
    }
    LoadFiles(folder, files, state, symbolHeaderUnreadable);
    return Finish(state);
}

}  // namespace vhost
