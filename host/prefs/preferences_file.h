// The host's preferences (the world container) kept in its preferences folder between runs.
//
// The file is a scene file without objects whose document data is the world container: the one
// reader and writer of containers, with its checks of damaged input and its atomic writes, serves
// both.
#pragma once

#include <string>

#include "model/container.h"

namespace vhost {

inline constexpr const char* kPreferencesFileName = "preferences.json";

struct PreferencesLoad {
    std::string problem;   // empty when the file was read or there was none
    bool mayWrite = true;  // false when a damaged file stays where it is and must not be replaced
};

// Reads the preferences from `folder` into `world`. A missing file leaves `world` as it is. A
// damaged file is set aside under another name (never overwritten) and the problem says what was
// wrong and where it went; `world` is then left as it is.
PreferencesLoad LoadPreferences(const std::string& folder, Container& world);

// Writes `world` to `folder` atomically, making the folder if needed. Answers what went wrong;
// the previous file is then unchanged.
std::string SavePreferences(const std::string& folder, const Container& world);

}  // namespace vhost
