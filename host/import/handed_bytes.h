// The plain binary form in which a child process hands what it read to its parent: values in the
// machine's own order and layout (the two are one program on one machine), each text or array
// after its length. Reading checks every length against what is left, so bytes cut short or
// damaged are refused, never read past.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace vhost::handed {

template <typename Value>
void Put(std::string& out, const Value& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// `bytes` after their length, written as a `Length`.
template <typename Length>
void PutSized(std::string& out, std::string_view bytes) {
    Put(out, static_cast<Length>(bytes.size()));
    out += bytes;
}

// `items` after their u64 count.
template <typename Item>
void PutArray(std::string& out, const std::vector<Item>& items) {
    Put(out, static_cast<std::uint64_t>(items.size()));
    if (!items.empty()) {
        out.append(reinterpret_cast<const char*>(items.data()), items.size() * sizeof(Item));
    }
}

// Takes values from the front of a byte string; every Take answers false, and takes nothing,
// when too few bytes are left.
class Reader {
public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}

    template <typename Value>
    bool Take(Value& value) {
        if (rest_.size() < sizeof value) return false;
        std::memcpy(&value, rest_.data(), sizeof value);
        rest_.remove_prefix(sizeof value);
        return true;
    }

    // Bytes written by PutSized<Length>; `bytes` views the reader's byte string.
    template <typename Length>
    bool TakeSized(std::string_view& bytes) {
        Length length = 0;
        if (rest_.size() < sizeof length) return false;
        std::memcpy(&length, rest_.data(), sizeof length);
        if (rest_.size() - sizeof length < length) return false;
        rest_.remove_prefix(sizeof length);
        bytes = rest_.substr(0, static_cast<std::size_t>(length));
        rest_.remove_prefix(static_cast<std::size_t>(length));
        return true;
    }

    // Items written by PutArray.
    template <typename Item>
    bool TakeArray(std::vector<Item>& items) {
        std::uint64_t count = 0;
        if (rest_.size() < sizeof count) return false;
        std::memcpy(&count, rest_.data(), sizeof count);
        if (count > (rest_.size() - sizeof count) / sizeof(Item)) return false;
        rest_.remove_prefix(sizeof count);
        items.resize(static_cast<std::size_t>(count));
        if (items.empty()) return true;
        std::memcpy(items.data(), rest_.data(), items.size() * sizeof(Item));
        rest_.remove_prefix(items.size() * sizeof(Item));
        return true;
    }

    bool AtEnd() const { return rest_.empty(); }

private:
    std::string_view rest_;
};

}  // namespace vhost::handed
