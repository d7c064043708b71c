#include "c4d_gedialog.h"

#include "host_interface.h"

using hostapi::HostInterface;

namespace {

const HostTable* Host() { return HostInterface::Table(); }
const HostDialogArea& Area() { return *Host()->dialogs; }
GeDialog* Dialog(void* instance) { return static_cast<GeDialog*>(instance); }

// The host calls a dialog through these; they turn the calls into its virtual operations.
bool HOST_ABI CreateLayoutTrampoline(void* instance) { return Dialog(instance)->CreateLayout(); }

bool HOST_ABI InitValuesTrampoline(void* instance) { return Dialog(instance)->InitValues(); }

bool HOST_ABI CommandTrampoline(void* instance, int32_t id, const HostContainer* /*message*/) {
    BaseContainer msg(BFM_ACTION);
    msg.SetInt32(BFM_ACTION_ID, id);
    BaseContainer result;
    return Dialog(instance)->Message(msg, result) != 0;
}

bool HOST_ABI AskCloseTrampoline(void* instance) {
    const BaseContainer msg(BFM_ASKCLOSE);
    BaseContainer result;
    return Dialog(instance)->Message(msg, result) != 0;
}

constexpr HostDialogClass kDialogClass{sizeof(HostDialogClass), CreateLayoutTrampoline,
                                       InitValuesTrampoline, CommandTrampoline, AskCloseTrampoline};

}  // namespace

GeDialog::GeDialog() : dialog_(Area().create(Host(), &kDialogClass, this)) {}

GeDialog::GeDialog(HostDialog* borrowed) : dialog_(borrowed), owned_(false) {}

GeDialog::~GeDialog() {
    if (dialog_ != nullptr && owned_) {
        Area().destroy(Host(), dialog_);
    }
}

Bool GeDialog::CreateLayout() { return true; }
Bool GeDialog::InitValues() { return true; }
Bool GeDialog::CoreMessage(Int32 /*id*/, const BaseContainer& /*msg*/) { return true; }
Bool GeDialog::Command(Int32 /*id*/, const BaseContainer& /*msg*/) { return true; }
Bool GeDialog::AskClose() { return false; }
Bool GeDialog::Timer(const BaseContainer& /*msg*/) { return true; }
void GeDialog::DestroyWindow() {}

Int32 GeDialog::Message(const BaseContainer& msg, BaseContainer& /*result*/) {
    switch (msg.GetId()) {
        case BFM_ACTION:
            return Command(msg.GetInt32(BFM_ACTION_ID), msg) ? 1 : 0;
        case BFM_ASKCLOSE:
            return AskClose() ? 1 : 0;
        default:
            return 0;
    }
}

void GeDialog::Close(Bool ask) {
    if (dialog_ != nullptr) {
        Area().close(Host(), dialog_, ask);
    }
}

Bool GeDialog::SetTitle(const String& title) {
    return dialog_ != nullptr && Area().set_title(Host(), dialog_, hostapi::View(title.View()));
}

Bool GeDialog::GroupBegin(Int32 id, Int32 flags, Int32 cols, Int32 rows, const String& title,
                          Int32 groupflags, Int32 initw, Int32 inith) {
    return dialog_ != nullptr &&
           Area().group_begin(Host(), dialog_, id, flags, cols, rows, hostapi::View(title.View()),
                              groupflags, initw, inith);
}

Bool GeDialog::GroupEnd() { return dialog_ != nullptr && Area().group_end(Host(), dialog_); }

Bool GeDialog::GroupSpace(Int32 spacex, Int32 spacey) {
    return dialog_ != nullptr && Area().group_space(Host(), dialog_, spacex, spacey);
}

Bool GeDialog::GroupBorderSpace(Int32 left, Int32 top, Int32 right, Int32 bottom) {
    return dialog_ != nullptr &&
           Area().group_border_space(Host(), dialog_, left, top, right, bottom);
}

Bool GeDialog::AddStaticText(Int32 id, Int32 flags, Int32 initw, Int32 inith, const String& name,
                             Int32 borderstyle) {
    return dialog_ != nullptr && Area().add_static_text(Host(), dialog_, id, flags, initw, inith,
                                                        hostapi::View(name.View()), borderstyle);
}

Bool GeDialog::AddEditText(Int32 id, Int32 flags, Int32 initw, Int32 inith, Int32 editflags) {
    return dialog_ != nullptr &&
           Area().add_edit_text(Host(), dialog_, id, flags, initw, inith, editflags);
}

Bool GeDialog::AddDlgGroup(Int32 type) {
    return dialog_ != nullptr && Area().add_dlg_group(Host(), dialog_, type);
}

Bool GeDialog::SetString(Int32 id, const String& text, Int32 tristate, Int32 flags) {
    return dialog_ != nullptr &&
           Area().set_string(Host(), dialog_, id, hostapi::View(text.View()), tristate, flags);
}

Bool GeDialog::GetString(Int32 id, String& text) const {
    if (dialog_ == nullptr) {
        return false;
    }
    std::string buffer(64, '\0');
    for (;;) {
        std::size_t size = 0;
        if (!Area().get_string(Host(), dialog_, id, buffer.data(), buffer.size(), &size)) {
            return false;
        }
        if (size <= buffer.size()) {
            buffer.resize(size);
            text = String(std::move(buffer));
            return true;
        }
        buffer.resize(size);
    }
}

Bool GeModalDialog::Open(Int32 xpos, Int32 ypos, Int32 defaultw, Int32 defaulth, Bool resizeable) {
    result_ = false;
    if (Handle() == nullptr) {
        return false;
    }
    const Bool opened =
        Area().open_modal(Host(), Handle(), xpos, ypos, defaultw, defaulth, resizeable);
    return opened && result_;
}

Int32 GeModalDialog::Message(const BaseContainer& msg, BaseContainer& result) {
    if (msg.GetId() == BFM_ACTION) {
        const Int32 id = msg.GetInt32(BFM_ACTION_ID);
        if (id == IDC_OK) {
            Command(IDC_OK, msg);
            result_ = true;
            Close(true);
            return 1;
        }
        if (id == IDC_CANCEL) {
            Command(IDC_CANCEL, msg);
            result_ = false;
            Close(false);
            return 1;
        }
    }
    if (msg.GetId() == BFM_ASKCLOSE) {
        // A close request before any OK closes the window; after OK the dialog decides.
        return result_ && AskClose() ? 1 : 0;
    }
    return GeDialog::Message(msg, result);
}

void MessageDialog(const String& text) {
    Host()->dialogs->message_dialog(Host(), hostapi::View(text.View()));
}
