// Reading text in memory with a streaming parser and knowing where it has got to.
#pragma once

#include <cstddef>
#include <iterator>

namespace vhost {

// A character iterator over text in memory that publishes, through `cursor`, how far the reader
// has read, so that each of a streaming parser's events can be given its place in the text. An
// iterator with no cursor (the end) publishes nothing.
class PositionIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    PositionIterator() = default;
    PositionIterator(const char* at, const char** cursor) : at_(at), cursor_(cursor) {}

    reference operator*() const { return *at_; }
    PositionIterator& operator++() {
        ++at_;
        if (cursor_ != nullptr) *cursor_ = at_;
        return *this;
    }
    PositionIterator operator++(int) {
        PositionIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const PositionIterator& other) const { return at_ == other.at_; }

private:
    const char* at_ = nullptr;
    const char** cursor_ = nullptr;
};

}  // namespace vhost
