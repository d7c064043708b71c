// The small modal dialog that asks for the one key the command is to be bound to.
#pragma once

#include "host_api/c4d.h"
#include "vela2023/vela_ids.h"  // the gadget ids SCD_*

// Confirms only when the field holds exactly one character (any letter of either case, digit,
// punctuation mark or space); anything else is refused silently and the window stays open.
class SCDialog : public GeModalDialog {
public:
    Bool CreateLayout() override;
    Bool InitValues() override;
    Bool Command(Int32 id, const BaseContainer& msg) override;
    Bool AskClose() override;

    // The confirmed text: whenever Open has answered true, the one character that let the window
    // close.
    String hotkeyText;
};
