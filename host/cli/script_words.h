// Words of session scripts that several commands share: settings of the form KEY=VALUE, yes/no,
// whole numbers and qualifier keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vhost::cli {

// A word of the form key=value.
struct Setting {
    std::string key;
    std::string value;
};

// None when the word has no '=' or nothing before it.
std::optional<Setting> SplitSetting(const std::string& word);

// "yes" or "true", "no" or "false".
std::optional<bool> ParseYesNo(const std::string& word);

// A 32-bit whole number written in full, e.g. "-12".
std::optional<std::int32_t> ParseInt(const std::string& word);

// Qualifier keys as "shift+ctrl+alt" in any order, as a mask of HOST_QUALIFIER_* bits; "none"
// for none.
std::optional<std::int32_t> ParseQualifiers(const std::string& word);

}  // namespace vhost::cli
