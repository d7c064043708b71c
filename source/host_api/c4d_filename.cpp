#include "c4d_filename.h"

#include "host_interface.h"

using hostapi::HostInterface;

namespace {
const HostTable* Host() { return HostInterface::Table(); }
const HostFileArea& Area() { return *Host()->files; }
}  // namespace

Filename Filename::GetDirectory() const {
    return Filename(String(hostapi::ReadText([this](char* buffer, std::size_t capacity) {
        return Area().path_directory(Host(), hostapi::View(path_.View()), buffer, capacity);
    })));
}

Filename Filename::GetFile() const {
    return Filename(String(hostapi::ReadText([this](char* buffer, std::size_t capacity) {
        return Area().path_file_name(Host(), hostapi::View(path_.View()), buffer, capacity);
    })));
}

void Filename::ClearSuffix() {
    path_ = String(hostapi::ReadText([this](char* buffer, std::size_t capacity) {
        return Area().path_strip_extension(Host(), hostapi::View(path_.View()), buffer, capacity);
    }));
}

Filename Filename::operator+(const Filename& component) const {
    return Filename(String(hostapi::ReadText([&](char* buffer, std::size_t capacity) {
        return Area().path_join(Host(), hostapi::View(path_.View()),
                                hostapi::View(component.path_.View()), buffer, capacity);
    })));
}

Bool operator==(const Filename& a, const Filename& b) {
    return Area().path_compare(Host(), hostapi::View(a.path_.View()),
                               hostapi::View(b.path_.View())) == 0;
}
