// Key strokes: the shortcut table decides which command a stroke starts, and the host runs it as
// a click on it would, with the stroke's qualifier keys held.
#include "host.h"
#include "shortcuts/shortcut_table.h"

namespace vhost {

// A stroke that only begins a shortcut of several strokes is taken (true) and waits for the
// next. A complete shortcut runs its command: a registered command through InvokeCommand, with
// the stroke's qualifiers as the keyboard state while it runs; a command of the host's own is
// noted in the table's log of built-in runs. A shortcut whose command is neither (its module has
// gone) runs nothing and the stroke is not taken (false).
bool Host::DispatchKey(std::int32_t qualifiers, std::int32_t key) {
    ShortcutTable& table = Shortcuts();
    const KeyMatch match = table.Press(KeyStroke{qualifiers, key});
    switch (match.kind) {
        case KeyMatch::Kind::None:
            return false;
        case KeyMatch::Kind::Pending:
            return true;
        case KeyMatch::Kind::Complete:
            break;
    }
    if (FindCommand(match.command) != nullptr) {
        const std::int32_t held = Qualifiers();
        SetQualifiers(qualifiers);
        InvokeCommand(match.command);
        SetQualifiers(held);
        return true;
    }
    if (ShortcutTable::FindBuiltin(match.command) != nullptr) {
        table.NoteBuiltinRun(match.command);
        return true;
    }
    return false;
}

}  // namespace vhost
