#include "text/text_position.h"

#include <algorithm>

#include "text/utf8.h"

namespace vhost {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::size_t ContentStart(std::string_view text) {
    return text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
}

}  // namespace

TextPosition PositionAt(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    TextPosition at;
    std::size_t i = std::min(ContentStart(text), offset);
    while (i < offset) {
        if (text[i] == '\n') {
            ++at.line;
            at.column = 1;
            ++i;
        } else {
            ++at.column;
            i += CharacterStep(text.substr(i));
        }
    }
    return at;
}

std::string PlaceText(std::string_view file, TextPosition at) {
    return std::string(file) + ":" + std::to_string(at.line) + ":" + std::to_string(at.column);
}

ColumnCounter::ColumnCounter(std::string_view text)
    : text_(text), lineStart_(ContentStart(text)), counted_(lineStart_) {}

void ColumnCounter::StartLine(std::size_t offset) {
    lineStart_ = counted_ = offset;
    column_ = 1;
}

std::size_t ColumnCounter::ColumnAt(std::size_t offset) {
    offset = std::min(offset, text_.size());
    if (offset < counted_) {
        counted_ = lineStart_;
        column_ = 1;
    }
    while (counted_ < offset) {
        counted_ += CharacterStep(text_.substr(counted_));
        ++column_;
    }
    return column_;
}

}  // namespace vhost
