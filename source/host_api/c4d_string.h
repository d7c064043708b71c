// The host framework's text: UTF-8 inside, measured in characters (Unicode code points).
#pragma once

#include <string>
#include <string_view>

#include "c4d_types.h"

class String {
public:
    String() = default;
    String(const char* utf8)
        : text_(utf8 != nullptr ? utf8 : "") {}  // NOLINT(google-explicit-constructor)
    explicit String(std::string utf8) : text_(std::move(utf8)) {}
    explicit String(std::string_view utf8) : text_(utf8) {}

    // Number of characters (code points). Bytes of a damaged sequence count one each.
    Int32 GetLength() const;
    Bool IsEmpty() const { return text_.empty(); }
    Bool IsPopulated() const { return !text_.empty(); }
    // The character at a character index; 0 past the end.
    Utf32Char operator[](Int32 index) const;

    String& operator+=(const String& other) {
        text_ += other.text_;
        return *this;
    }
    friend String operator+(String a, const String& b) { return a += b; }
    friend Bool operator==(const String& a, const String& b) { return a.text_ == b.text_; }
    friend Bool operator!=(const String& a, const String& b) { return a.text_ != b.text_; }

    static String IntToString(Int64 value) { return String(std::to_string(value)); }

    const std::string& GetUtf8() const { return text_; }
    std::string_view View() const { return text_; }

private:
    std::string text_;
};
