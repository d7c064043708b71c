// The host's reader of plug-in resource folders.
//
// A resource folder holds, as the host lays it out:
//   c4d_symbols.h                          symbols of the string table (an enum of NAME = number)
//   description/NAME.h                     symbols of the description NAME
//   description/NAME.res                   the description NAME: CONTAINER NAME { ... }
//   strings_xx-YY/c4d_strings.str          the string table of one language
//   strings_xx-YY/description/NAME.str     the labels of description NAME in that language
// Other files (icons, read-me files) are not the loader's business and are left alone.
//
// Every reader here takes arbitrary bytes: a malformed file is an error naming the file, the line,
// the column and what was expected there, never a crash. Nesting is limited (kMaxNesting), so no
// input makes the readers recurse without bound.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vhost {

// A language of the host: the code the host names it by ("US") and the suffix of its string
// folder ("en-US" in strings_en-US). This table is the only place that pairs them.
struct ResourceLanguage {
    std::string_view code;
    std::string_view folderSuffix;
    std::string_view name;
};
// The host's languages; English first, which is where every text falls back to.
std::span<const ResourceLanguage> ResourceLanguages();
const ResourceLanguage* FindLanguageByCode(std::string_view code);
const ResourceLanguage* FindLanguageByFolder(std::string_view folderSuffix);

// Texts per language code; the fallback rule of the whole resource (the language asked for, then
// English, then the first language in ResourceLanguages() that has a text, else the empty text).
using LabelsByLanguage = std::map<std::string, std::string, std::less<>>;
std::string_view PickLabel(const LabelsByLanguage& labels, std::string_view language);

enum class ParameterKind { Bool, Long, Real, String, Button, BitmapButton, Separator, Group };
// The keyword of a kind in a description file ("BITMAPBUTTON").
std::string_view KindKeyword(ParameterKind kind);

// One `KEY value ...;` in a parameter's or group's braces, kept as written: the key and the rest
// of the entry's words joined by single spaces ("" for a flag such as `BORDER;`). A nested block
// (`CYCLE { A; B; }`) is kept in the value as its words, braces included.
struct DescriptionAttribute {
    std::string key;
    std::string value;
    bool operator==(const DescriptionAttribute&) const = default;
};

struct DescriptionParameter {
    std::int32_t id = 0;  // 0 for a group or separator written without an id
    std::string symbol;   // the id as written; empty when there is none
    ParameterKind kind = ParameterKind::Bool;
    // The groups the parameter lies in, outermost first, as indexes into the description's
    // parameter list (groups are parameters of kind Group).
    std::vector<std::size_t> groupPath;
    std::vector<DescriptionAttribute> attributes;
    LabelsByLanguage labels;  // language code -> label, from the description's string tables

    std::string_view Label(std::string_view language) const { return PickLabel(labels, language); }
};

struct Description {
    std::string name;                   // CONTAINER name
    std::int32_t id = 0;                // the value of that symbol
    std::string nameSymbol;             // the symbol of the NAME entry, whose label is the title
    std::vector<std::string> includes;  // INCLUDE entries, in order
    std::vector<DescriptionParameter> parameters;  // in file order, groups before their contents
    LabelsByLanguage titles;                       // language code -> the label of nameSymbol

    // The parameter of that id; null when there is none (0 finds nothing).
    const DescriptionParameter* Find(std::int32_t parameterId) const;
    std::string_view Title(std::string_view language) const { return PickLabel(titles, language); }
};

// A loaded resource folder. Texts are UTF-8.
struct Resource {
    std::string folder;
    std::map<std::string, std::int32_t, std::less<>> symbols;  // from every symbol header
    // Language code -> string table (id -> text), for each strings_xx-YY/c4d_strings.str.
    std::map<std::string, std::map<std::int32_t, std::string>, std::less<>> strings;
    std::map<std::string, Description, std::less<>> descriptions;  // by CONTAINER name
    // Entries of the folder that look like resource parts this host does not read: string
    // folders of languages it does not know ("strings_fr-FR").
    std::vector<std::string> ignored;

    // Text `id` in `language` (a code such as "US"), falling back as PickLabel does. The view
    // lives as long as the resource.
    std::string_view LoadString(std::int32_t id, std::string_view language) const;
    const Description* FindDescription(std::string_view name) const;
    std::optional<std::int32_t> FindSymbol(std::string_view name) const;
};

// A problem with one file of a resource. `line` and `column` (1-based, as text/text_position.h
// counts them) are 0 when it concerns the file as a whole.
struct ResourceError {
    std::string file;
    int line = 0;
    int column = 0;
    std::string message;

    // "file:line:column: message", or "file: message" without a position.
    std::string Text() const;
};

// What loading answers: the resource, or (never both) the errors that kept it from loading.
struct ResourceLoad {
    std::optional<Resource> resource;
    std::vector<ResourceError> errors;
};

// Deepest nesting of braces in a description, and the largest file the loader reads.
inline constexpr int kMaxNesting = 64;
inline constexpr std::size_t kMaxResourceFileSize = std::size_t{1} << 20;

// Reads the resource folder `folder`. Error messages name the files as `folder` joined with their
// path inside it. Every file is read even after an error, so one pass lists the problems of all.
ResourceLoad LoadResourceFolder(std::string_view folder);

// One file of a resource given in memory: its path inside the folder, with '/' between the parts
// ("strings_de-DE/description/Prefsvelaprefs.str"), and its bytes.
struct ResourceFile {
    std::string path;
    std::string text;
};

// Reads a resource from files already in memory, as LoadResourceFolder does after reading the
// folder. Files at paths that are not parts of a resource are left alone. This is where fuzzing
// starts: no input makes it crash.
ResourceLoad LoadResourceFromFiles(std::string_view folder, std::span<const ResourceFile> files);

}  // namespace vhost
