#include "VelaHotkey.h"

#include <algorithm>
#include <vector>

#include "SCDialog.h"
#include "vela_ids.h"

namespace {

// Qualifier masks the key is bound under: every combination but all three keys together.
constexpr Int32 kBoundQualifiers[] = {0, 1, 2, 3, 4, 5, 6};

constexpr Int32 kDialogX = 300;
constexpr Int32 kDialogY = 400;

constexpr const char* kSummaryHeader =
    "All keys have been assigned.\nYou can now use the Vela Button with the following "
    "shortcuts:   \n";
constexpr const char* kSummaryFooter = "\nPlease see the vela manual for details.";

// The table indices of the command's shortcuts, in the host's order.
std::vector<Int32> FindVelaShortcuts() {
    std::vector<Int32> indices(static_cast<std::size_t>(std::max<Int32>(GetShortcutCount(), 0)));
    if (indices.empty()) {
        return indices;
    }
    const Int32 found =
        FindShortcutsFromID(ID_VELA, indices.data(), static_cast<Int32>(indices.size()));
    indices.resize(
        static_cast<std::size_t>(std::clamp<Int32>(found, 0, static_cast<Int32>(indices.size()))));
    return indices;
}

// Takes every shortcut of the command out of the table; the other commands' stay in their order.
void RemoveVelaShortcuts() {
    const std::vector<Int32> indices = FindVelaShortcuts();
    // From the back, so the indices still to be removed stay where they were found.
    std::for_each(indices.rbegin(), indices.rend(), [](Int32 index) { RemoveShortcut(index); });
}

void AddVelaShortcuts(Utf32Char key) {
    BaseContainer record;
    for (const Int32 qualifier : kBoundQualifiers) {
        record.SetInt32(SHORTCUT_PLUGINID, ID_VELA);
        record.SetInt32(SHORTCUT_ADDRESS, 0);
        record.SetInt32(0, qualifier);
        record.SetInt32(1, static_cast<Int32>(key));
        AddShortcut(record);
    }
}

String ShortcutSummary() {
    String list;
    for (const Int32 index : FindVelaShortcuts()) {
        const BaseContainer record = GetShortcut(index);
        list += Shortcut2String(record) + String("\n");
    }
    return String(kSummaryHeader) + list + String(kSummaryFooter);
}

}  // namespace

// The key is asked for before the table is touched: the table is searched in order, so a key shared
// with another command runs whichever comes first, and a cancelled run must leave every shortcut
// where it stood.
Bool AssignVelaHotkey() {
    SCDialog dialog;
    if (!dialog.Open(kDialogX, kDialogY, 0, 0, false)) {
        return false;
    }
    const Utf32Char key = dialog.hotkeyText.IsEmpty() ? 0 : dialog.hotkeyText[0];
    RemoveVelaShortcuts();
    EventAdd(EVENT::NONE);
    AddVelaShortcuts(key);
    MessageDialog(ShortcutSummary());
    return true;
}
