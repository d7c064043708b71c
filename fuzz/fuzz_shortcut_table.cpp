// The shortcut-table file on any bytes, read from a preferences folder as the host reads it at
// start. Either the table comes from the file and writes back to a file that reads as the same
// table; or the file is reported, the host's fresh table is used, and the file is left where it
// was or set aside, byte for byte. Nothing that was on disk is lost.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_folder.h"
#include "shortcuts/shortcut_table.h"

namespace {

using vhost::ShortcutTable;

// The file the table was set aside as, or the table's own file when it was left where it was.
std::filesystem::path FileKeptOf(const std::filesystem::path& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        return entry.path();
    }
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::filesystem::path& folder = vfuzz::FuzzFolder::Fresh();
    vfuzz::FuzzFolder::Put(ShortcutTable::kFileName, bytes);

    ShortcutTable table;
    table.Load(folder.string());
    const std::vector<std::string> reports = table.TakeReports();
    if (!reports.empty()) {
        vfuzz::Require(reports.size() == 1, "one report for one file");
        vfuzz::Require(table.Serialize() == ShortcutTable().Serialize(),
                       "a file that was not read leaves the fresh table");
        const std::filesystem::path kept = FileKeptOf(folder);
        vfuzz::Require(!kept.empty() && vfuzz::FuzzFolder::Read(kept) == bytes,
                       "the file is kept unchanged: " + reports[0]);
        vfuzz::Require(vfuzz::StartsWith(reports[0], (folder / ShortcutTable::kFileName).string()),
                       "the report names the file: " + reports[0]);
        return 0;
    }
    for (std::int32_t i = 0; i < table.Count(); ++i) {
        (void)ShortcutTable::Text(*table.Get(i));
    }
    const std::string written = table.Serialize();
    const std::string saved = table.Save();
    vfuzz::Require(saved.empty(), "a table that was read can be written: " + saved);
    ShortcutTable again;
    again.Load(folder.string());
    vfuzz::Require(again.TakeReports().empty(), "a written table reads back");
    vfuzz::Require(again.Serialize() == written, "a written table reads back the same");
    return 0;
}
