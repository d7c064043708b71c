// What the driver keeps of each dialog handle, shared by the files that make up the driver: the
// handles and the modal loop (dialog_driver.cpp), the building of a layout and its values
// (dialog_building.cpp), and message boxes (message_boxes.cpp).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dialog_driver.h"

namespace vhost {

// A dialog handle. The module holds it from `create` to `destroy`; the window it stands for is
// built anew each time it opens.
struct DialogDriver::Record {
    enum class State { Closed, Building, Open };

    const HostDialogClass* klass = nullptr;
    void* instance = nullptr;
    std::string title;
    Gadget root;
    std::vector<Gadget*> groups;  // while building: the open groups, the root first
    State state = State::Closed;
    bool driving = false;    // inside OpenModal
    bool asking = false;     // inside ask_close
    bool destroyed = false;  // destroyed by the module while open; freed when OpenModal ends
    std::string action;      // the action being carried out, empty outside one
    std::string closedBy;
    std::optional<DialogAction> last;  // the last action taken in this window

    HostDialog* Handle() { return reinterpret_cast<HostDialog*>(this); }
};

// How the driver's errors name a dialog, and an action with the line that queued it.
std::string DialogName(std::string_view title);
std::string WithOrigin(const DialogAction& action);

}  // namespace vhost
