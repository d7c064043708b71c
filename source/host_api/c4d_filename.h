// A file or folder path in the host platform's own form. Joining and taking apart paths is the
// host's affair, since only it knows the platform's separators.
#pragma once

#include <utility>

#include "c4d_string.h"
#include "c4d_types.h"

class Filename {
public:
    Filename() = default;
    explicit Filename(String path) : path_(std::move(path)) {}

    Bool IsPopulated() const { return path_.IsPopulated(); }
    Bool IsEmpty() const { return path_.IsEmpty(); }
    const String& GetString() const { return path_; }

    // Everything before the last separator; empty when there is none.
    Filename GetDirectory() const;
    // The last component.
    Filename GetFile() const;
    // The path without the extension of its last component.
    void ClearSuffix();

    // This path followed by a further component.
    Filename operator+(const Filename& component) const;
    Filename operator+(const String& component) const { return *this + Filename(component); }
    Filename& operator+=(const Filename& component) { return *this = *this + component; }

    // Same file by the platform's rules.
    friend Bool operator==(const Filename& a, const Filename& b);
    friend Bool operator!=(const Filename& a, const Filename& b) { return !(a == b); }

private:
    String path_;
};
