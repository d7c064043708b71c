// Dialogs: windows whose gadgets a module lays out, and the modal dialog's OK/Cancel protocol.
#pragma once

#include "c4d_basecontainer.h"
#include "c4d_string.h"
#include "c4d_types.h"

inline constexpr Int32 IDC_OK = HOST_DLG_OK;
inline constexpr Int32 IDC_CANCEL = HOST_DLG_CANCEL;
inline constexpr Int32 DLG_OK = HOST_DLG_GROUP_OK;
inline constexpr Int32 DLG_CANCEL = HOST_DLG_GROUP_CANCEL;

// Messages a dialog receives (in its Message operation), and their keys.
inline constexpr Int32 BFM_ACTION = HOST_DLG_MSG_ACTION;        // a gadget was used
inline constexpr Int32 BFM_ACTION_ID = HOST_DLG_MSG_ACTION_ID;  // the gadget's id
inline constexpr Int32 BFM_ASKCLOSE = 0x6261736B;               // 'bask': may the window close?

// A dialog. Construction asks the host for a dialog handle; without one (the host could not make
// it) every layout call does nothing and the dialog cannot open.
class GeDialog {
public:
    GeDialog();
    virtual ~GeDialog();
    GeDialog(const GeDialog&) = delete;
    GeDialog& operator=(const GeDialog&) = delete;

    virtual Bool CreateLayout();
    virtual Bool InitValues();
    virtual Bool CoreMessage(Int32 id, const BaseContainer& msg);
    virtual Bool Command(Int32 id, const BaseContainer& msg);
    // True keeps the window open.
    virtual Bool AskClose();
    virtual Bool Timer(const BaseContainer& msg);
    virtual void DestroyWindow();
    // Every message the host sends; the base routes gadget actions to Command and close requests
    // to AskClose, and answers whether the window is to stay open for the latter.
    virtual Int32 Message(const BaseContainer& msg, BaseContainer& result);

    // Layout, inside CreateLayout.
    Bool SetTitle(const String& title);
    Bool GroupBegin(Int32 id, Int32 flags, Int32 cols, Int32 rows, const String& title,
                    Int32 groupflags, Int32 initw = 0, Int32 inith = 0);
    Bool GroupEnd();
    Bool GroupSpace(Int32 spacex, Int32 spacey);
    Bool GroupBorderSpace(Int32 left, Int32 top, Int32 right, Int32 bottom);
    Bool AddStaticText(Int32 id, Int32 flags, Int32 initw, Int32 inith, const String& name,
                       Int32 borderstyle);
    Bool AddEditText(Int32 id, Int32 flags, Int32 initw = 0, Int32 inith = 0, Int32 editflags = 0);
    Bool AddDlgGroup(Int32 type);

    // Gadget values. GetString answers false when the gadget holds no text.
    Bool SetString(Int32 id, const String& text, Int32 tristate = 0, Int32 flags = 0);
    Bool GetString(Int32 id, String& text) const;

protected:
    // A dialog over a window the host made: it neither makes nor destroys the host's dialog.
    explicit GeDialog(HostDialog* borrowed);

    // Asks the host to close the open window; with `ask`, only after AskClose lets it.
    void Close(Bool ask);
    HostDialog* Handle() const { return dialog_; }

private:
    HostDialog* dialog_;
    Bool owned_ = true;
};

// A dialog that blocks while it is open and reports whether it was confirmed with OK.
class GeModalDialog : public GeDialog {
public:
    // Opens the window and returns when it has closed: true when the host opened it and it was
    // confirmed with OK.
    Bool Open(Int32 xpos = -1, Int32 ypos = -1, Int32 defaultw = 0, Int32 defaulth = 0,
              Bool resizeable = false);

    // OK runs Command(IDC_OK), sets the result and asks to close (AskClose decides while the
    // result is set); Cancel runs Command(IDC_CANCEL), clears the result and closes.
    Int32 Message(const BaseContainer& msg, BaseContainer& result) override;

private:
    Bool result_ = false;
};

// A modal message box with an OK button; returns when the user has dismissed it.
void MessageDialog(const String& text);

namespace hostapi {

// The host's dialog a command was invoked from, seen as a GeDialog for the length of one call: the
// handle wrapper of the host's dialogs, as BaseDocument* is of its documents. The dialog stays the
// host's, and the wrapper's operations are the base's.
class HostDialogView final : public GeDialog {
public:
    explicit HostDialogView(HostDialog* handle) : GeDialog(handle) {}
};

}  // namespace hostapi
