// The host side of the file area: bitmaps, paths, folders, languages, and handing files and
// addresses to the system.
#include <algorithm>
#include <cstring>
#include <new>

#include "host.h"
#include "media/bitmap.h"
#include "platform/path_rules.h"
#include "table/table_support.h"
#include "table_areas.h"

namespace vhost::table {

namespace {

// Bitmaps ---------------------------------------------------------------------------------------

Bitmap* BitmapOf(HostBitmap* handle) { return reinterpret_cast<Bitmap*>(handle); }
const Bitmap* BitmapOf(const HostBitmap* handle) { return reinterpret_cast<const Bitmap*>(handle); }

HostBitmap* HOST_ABI BitmapCreate(const HostTable* /*host*/) {
    return reinterpret_cast<HostBitmap*>(new (std::nothrow) Bitmap());
}

void HOST_ABI BitmapDestroy(const HostTable* /*host*/, HostBitmap* bitmap) {
    delete BitmapOf(bitmap);
}

// The host's bitmaps have no initialisation flags that change what Init makes.
std::int32_t HOST_ABI BitmapInit(const HostTable* /*host*/, HostBitmap* bitmap, std::int32_t width,
                                 std::int32_t height, std::int32_t depth, std::int32_t /*flags*/) {
    if (bitmap == nullptr) return HOST_IMAGE_NOMEM;
    return BitmapOf(bitmap)->Init(width, height, depth);
}

std::int32_t HOST_ABI BitmapLoad(const HostTable* /*host*/, HostBitmap* bitmap, HostStringView path,
                                 std::int32_t frame) {
    if (bitmap == nullptr) return HOST_IMAGE_NOMEM;
    return BitmapOf(bitmap)->LoadTiff(std::string(Text(path)), frame);
}

std::int32_t HOST_ABI BitmapGetWidth(const HostTable* /*host*/, const HostBitmap* bitmap) {
    return bitmap != nullptr ? BitmapOf(bitmap)->Width() : 0;
}

std::int32_t HOST_ABI BitmapGetHeight(const HostTable* /*host*/, const HostBitmap* bitmap) {
    return bitmap != nullptr ? BitmapOf(bitmap)->Height() : 0;
}

bool HOST_ABI BitmapSetData(const HostTable* /*host*/, HostBitmap* bitmap, std::int32_t id,
                            double value) {
    if (bitmap == nullptr) return false;
    BitmapOf(bitmap)->SetData(id, value);
    return true;
}

double HOST_ABI BitmapGetData(const HostTable* /*host*/, const HostBitmap* bitmap, std::int32_t id,
                              double preset) {
    return bitmap != nullptr ? BitmapOf(bitmap)->GetData(id, preset) : preset;
}

// Paths -----------------------------------------------------------------------------------------

std::size_t HOST_ABI PathJoin(const HostTable* /*host*/, HostStringView folder, HostStringView name,
                              char* buffer, std::size_t capacity) {
    return WriteText(paths::Join(Text(folder), Text(name)), buffer, capacity);
}

std::size_t HOST_ABI PathDirectory(const HostTable* /*host*/, HostStringView path, char* buffer,
                                   std::size_t capacity) {
    return WriteText(paths::Directory(Text(path)), buffer, capacity);
}

std::size_t HOST_ABI PathFileName(const HostTable* /*host*/, HostStringView path, char* buffer,
                                  std::size_t capacity) {
    return WriteText(paths::FileName(Text(path)), buffer, capacity);
}

std::size_t HOST_ABI PathStripExtension(const HostTable* /*host*/, HostStringView path,
                                        char* buffer, std::size_t capacity) {
    return WriteText(paths::StripExtension(Text(path)), buffer, capacity);
}

std::int32_t HOST_ABI PathCompare(const HostTable* /*host*/, HostStringView a, HostStringView b) {
    return paths::Compare(Text(a), Text(b));
}

std::size_t HOST_ABI GetFolder(const HostTable* host, std::int32_t which, char* buffer,
                               std::size_t capacity) {
    return WriteText(Host::FromTable(host).Folder(which), buffer, capacity);
}

// Languages and texts ---------------------------------------------------------------------------

// Copies `text` into a fixed field, cut to fit, always terminated.
template <std::size_t N>
void CopyTerminated(std::string_view text, char (&field)[N]) {
    std::size_t size = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), size);
    field[size] = '\0';
}

bool HOST_ABI GetLanguage(const HostTable* host, std::int32_t index, HostLanguage* language) {
    const std::vector<Language>& languages = Host::FromTable(host).Languages();
    if (language == nullptr || index < 0 || static_cast<std::size_t>(index) >= languages.size()) {
        return false;
    }
    const Language& installed = languages[static_cast<std::size_t>(index)];
    CopyTerminated(installed.code, language->code);
    CopyTerminated(installed.name, language->name);
    language->is_default = installed.isDefault;
    return true;
}

// Byte for byte, as UTF-8 orders code points.
std::int32_t HOST_ABI StringCompare(const HostTable* /*host*/, HostStringView a, HostStringView b) {
    int order = Text(a).compare(Text(b));
    return (order > 0) - (order < 0);
}

// The system ------------------------------------------------------------------------------------

// This host opens nothing; it records what it was asked to open.
bool HOST_ABI OpenFile(const HostTable* host, HostStringView path) {
    Host::FromTable(host).OpenFile(Text(path));
    return true;
}

bool HOST_ABI OpenWebAddress(const HostTable* host, HostStringView url) {
    Host::FromTable(host).OpenWebAddress(Text(url));
    return true;
}

constexpr HostFileArea kArea{
    .size = sizeof(HostFileArea),
    .bitmap_create = &BitmapCreate,
    .bitmap_destroy = &BitmapDestroy,
    .bitmap_init = &BitmapInit,
    .bitmap_load = &BitmapLoad,
    .bitmap_get_width = &BitmapGetWidth,
    .bitmap_get_height = &BitmapGetHeight,
    .bitmap_set_data = &BitmapSetData,
    .bitmap_get_data = &BitmapGetData,
    .path_join = &PathJoin,
    .path_directory = &PathDirectory,
    .path_file_name = &PathFileName,
    .path_strip_extension = &PathStripExtension,
    .path_compare = &PathCompare,
    .get_folder = &GetFolder,
    .get_language = &GetLanguage,
    .string_compare = &StringCompare,
    .open_file = &OpenFile,
    .open_web_address = &OpenWebAddress,
};

}  // namespace

const HostFileArea* FileArea() { return &kArea; }

}  // namespace vhost::table
