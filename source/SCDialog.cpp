#include "SCDialog.h"

Bool SCDialog::CreateLayout() {
    SetTitle(String("Vela Button Hotkey Assignment"));
    GroupBegin(SCD_GROUP, 0, 1, 0, String(""), 0, 0, 0);
    GroupSpace(4, 4);
    GroupBorderSpace(4, 4, 4, 4);
    AddStaticText(SCD_PROMPT, 0, 0, 0, String("Please enter an unused hotkey."), 0);
    AddEditText(SCD_HOTKEY, 0, 17, 0, 0);
    GroupEnd();
    AddDlgGroup(DLG_OK | DLG_CANCEL);
    return true;
}

Bool SCDialog::InitValues() {
    if (!GeModalDialog::InitValues()) {
        return false;
    }
    SetString(SCD_HOTKEY, String(""), 0, 0);
    hotkeyText = String("");
    return true;
}

Bool SCDialog::Command(Int32 id, const BaseContainer& /*msg*/) {
    if (id == IDC_OK) {
        GetString(SCD_HOTKEY, hotkeyText);
    }
    return true;
}

Bool SCDialog::AskClose() {
    String text;
    GetString(SCD_HOTKEY, text);
    if (text.GetLength() != 1) {
        return true;
    }
    // After a refused OK the field may have been corrected and the window closed by other means;
    // the text handed back is the one that lets the window close, never the refused one.
    hotkeyText = text;
    return false;
}
