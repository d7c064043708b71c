// Session commands for the scene: documents opened, saved and made, objects added, moved, linked
// and changed by hand, the selection, takes, the views of the scene (tree, dump), and the
// expectations about objects, the document and the isolation records the command keeps in them.
#include <optional>

#include "actions/perform.h"
#include "cli/object_paths.h"
#include "cli/script_words.h"
#include "cli/session.h"
#include "cli/terminal_progress.h"
#include "cli/tree_view.h"
#include "scene_file/scene_file.h"
#include "text/quoting.h"
#include "vela2023/vela_ids.h"

namespace vhost::cli {

namespace {

constexpr std::int32_t kRecordKey = ID_VELA;

std::string ModeNumberName(std::int32_t mode) {
    switch (mode) {
        case 0:
            return "on";
        case 1:
            return "off";
        case 2:
            return "default";
        default:
            return std::to_string(mode);
    }
}

const char* YesNo(bool value) { return value ? "yes" : "no"; }

// The start of the report of an expectation about one value: SUBJECT KEY should be WANTED.
std::string ShouldBe(const std::string& subject, const std::string& key,
                     const std::string& wanted) {
    std::string text = subject;
    text.append(" ").append(key).append(" should be ").append(wanted);
    return text;
}

}  // namespace

// Documents ---------------------------------------------------------------------------------------

bool Session::New(const ScriptLine& line) {
    if (line.words.size() > 2) {
        return Usage(line);
    }
    actions::Perform(host_,
                     actions::NewDocument{line.words.size() == 2 ? line.words[1] : "Untitled"});
    return true;
}

bool Session::Open(const ScriptLine& line) {
    if (line.words.size() != 2) {
        return Usage(line);
    }
    const actions::Outcome opened =
        PerformShowingProgress(host_, actions::OpenDocument{.path = ResolvePath(line.words[1])});
    if (!opened.Done()) return Error(line, opened.message);
    for (const std::string& leftOut : opened.leftOut) {
        err_ << line.file << ':' << line.line << ": warning: " << leftOut << '\n';
    }
    return true;
}

bool Session::Save(const ScriptLine& line) {
    if (line.words.size() != 2) {
        return Usage(line);
    }
    const actions::Outcome saved =
        PerformShowingProgress(host_, actions::SaveDocument{.path = ResolvePath(line.words[1])});
    return saved.Done() || Error(line, saved.message);
}

// Objects and takes -------------------------------------------------------------------------------

bool Session::Add(const ScriptLine& line) {
    if (line.words.size() < 3) {
        return Usage(line);
    }
    const ObjectType* type = host_.Types().FindByToken(line.words[1]);
    if (type == nullptr) {
        std::string known;
        for (const ObjectType& t : host_.Types().All()) {
            known += (known.empty() ? "" : ", ") + t.token;
        }
        return Error(line, "unknown object type " + Quoted(line.words[1]) +
                               " (expected one of: " + known + ")");
    }
    actions::AddObject add{.type = type->type, .name = line.words[2]};
    Object* after = nullptr;
    for (std::size_t i = 3; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        if (!setting) {
            return Error(line, Quoted(line.words[i]) + " is not KEY=VALUE");
        }
        if (setting->key == "parent") {
            const Object* parent = Resolve(line, setting->value);
            if (parent == nullptr) {
                return false;
            }
            add.parent = parent->Id();
        } else if (setting->key == "after") {
            if ((after = Resolve(line, setting->value)) == nullptr) {
                return false;
            }
            add.after = after->Id();
        } else if (setting->key == "editor" && ModeFromName(setting->value)) {
            add.editor = *ModeFromName(setting->value);
        } else if (setting->key == "render" && ModeFromName(setting->value)) {
            add.render = *ModeFromName(setting->value);
        } else if (setting->key == "enabled" && ParseYesNo(setting->value)) {
            add.enabled = *ParseYesNo(setting->value);
        } else if (setting->key == "selected" && ParseYesNo(setting->value)) {
            add.selected = *ParseYesNo(setting->value);
        } else if (setting->key == "link") {
            const Object* target = Resolve(line, setting->value);
            if (target == nullptr) {
                return false;
            }
            add.link = target->Id();
        } else {
            return Error(line, Quoted(line.words[i]) +
                                   ": expected parent=PATH, after=PATH, editor=on|off|default, "
                                   "render=on|off|default, enabled=yes|no, selected=yes|no or "
                                   "link=PATH");
        }
    }
    const actions::Outcome added = actions::Perform(host_, add);
    if (added.refusal == actions::Refusal::NotAChild) {
        return Error(line, "after=" + PathOf(*after) + " is not a child of the parent given");
    }
    return added.Done() || Error(line, added.message);
}

bool Session::Delete(const ScriptLine& line) {
    if (line.words.size() < 2) {
        return Usage(line);
    }
    actions::DeleteObject erase;
    for (std::size_t i = 1; i < line.words.size(); ++i) {
        const Object* object = Resolve(line, line.words[i]);
        if (object == nullptr) {
            return false;
        }
        erase.objects.push_back(object->Id());
    }
    const actions::Outcome deleted = actions::Perform(host_, erase);
    return deleted.Done() || Error(line, deleted.message);
}

bool Session::Move(const ScriptLine& line) {
    if (line.words.size() < 3) {
        return Usage(line);
    }
    const Object* object = Resolve(line, line.words[1]);
    if (object == nullptr) {
        return false;
    }
    actions::MoveObject move{.object = object->Id(),
                             .parent = object->Up() != nullptr ? object->Up()->Id() : 0};
    const Object* after = nullptr;
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        if (setting && setting->key == "parent") {
            const Object* parent =
                setting->value == "top" ? nullptr : Resolve(line, setting->value);
            if (setting->value != "top" && parent == nullptr) {
                return false;
            }
            move.parent = parent != nullptr ? parent->Id() : 0;
        } else if (setting && setting->key == "after") {
            if ((after = Resolve(line, setting->value)) == nullptr) {
                return false;
            }
            move.after = after->Id();
        } else {
            return Usage(line);
        }
    }
    const actions::Outcome moved = actions::Perform(host_, move);
    if (moved.refusal == actions::Refusal::NotAChild) {
        return Error(line, "after=" + PathOf(*after) + " is not a child of the new parent");
    }
    if (moved.refusal == actions::Refusal::OwnHierarchy) {
        return Error(line, "cannot move " + Quoted(PathOf(*object)) + " into its own hierarchy");
    }
    return moved.Done() || Error(line, moved.message);
}

bool Session::Select(const ScriptLine& line) {
    std::size_t first = 1;
    const bool adding = line.words.size() > first && line.words[first] == "add";
    if (adding) ++first;
    const bool withChildren = line.words.size() > first && line.words[first] == "children";
    if (withChildren) ++first;
    if (line.words.size() <= first) {
        return Usage(line);
    }
    actions::SelectObjects select{
        {}, adding ? actions::SelectHow::Add : actions::SelectHow::Replace, withChildren};
    if (!ResolveAll(line, first, select.objects)) {
        return false;
    }
    const actions::Outcome selected = actions::Perform(host_, select);
    return selected.Done() || Error(line, selected.message);
}

bool Session::Deselect(const ScriptLine& line) {
    actions::DeselectObjects deselect;
    if (!ResolveAll(line, 1, deselect.objects)) {
        return false;
    }
    const actions::Outcome deselected = actions::Perform(host_, deselect);
    return deselected.Done() || Error(line, deselected.message);
}

bool Session::Link(const ScriptLine& line) {
    if (line.words.size() != 3) {
        return Usage(line);
    }
    const Object* instance = Resolve(line, line.words[1]);
    if (instance == nullptr) {
        return false;
    }
    if (instance->Type() != HOST_OBJECT_INSTANCE) {
        return Error(line, Quoted(PathOf(*instance)) + " is not an instance object");
    }
    actions::LinkInstance link{.instance = instance->Id()};
    if (line.words[2] != "none") {
        const Object* target = Resolve(line, line.words[2]);
        if (target == nullptr) {
            return false;
        }
        link.target = target->Id();
    }
    const actions::Outcome linked = actions::Perform(host_, link);
    return linked.Done() || Error(line, linked.message);
}

bool Session::Set(const ScriptLine& line) {
    if (line.words.size() < 3) {
        return Usage(line);
    }
    const Object* object = Resolve(line, line.words[1]);
    if (object == nullptr) {
        return false;
    }
    actions::SetStates set{.object = object->Id()};
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        std::optional<Mode> mode;
        std::optional<bool> flag;
        if (setting && setting->key == "editor" && (mode = ModeFromName(setting->value))) {
            set.editor = mode;
        } else if (setting && setting->key == "render" && (mode = ModeFromName(setting->value))) {
            set.render = mode;
        } else if (setting && setting->key == "enabled" && (flag = ParseYesNo(setting->value))) {
            set.enabled = flag;
        } else {
            return Error(line, Quoted(line.words[i]) +
                                   ": expected editor=on|off|default, render=on|off|default or "
                                   "enabled=yes|no");
        }
    }
    const actions::Outcome done = actions::Perform(host_, set);
    return done.Done() || Error(line, done.message);
}

bool Session::TakeCommand(const ScriptLine& line) {
    if (line.words.size() != 3 || (line.words[1] != "new" && line.words[1] != "use")) {
        return Usage(line);
    }
    const actions::Outcome done = line.words[1] == "new"
                                      ? actions::Perform(host_, actions::NewTake{line.words[2]})
                                      : actions::Perform(host_, actions::UseTake{line.words[2]});
    return done.Done() || Error(line, done.message);
}

// Views -------------------------------------------------------------------------------------------

bool Session::Tree(const ScriptLine& line) {
    if (line.words.size() != 1) {
        return Usage(line);
    }
    PrintTree(out_, host_.ActiveDocument(), host_.Types(), CommandState(),
              TreeStyle{options_.color});
    return true;
}

bool Session::Dump(const ScriptLine& line) {
    if (line.words.size() != 1) {
        return Usage(line);
    }
    const SceneTextResult text = SerializeScene(host_.ActiveDocument());
    if (!text.Ok()) {
        return Error(line, text.error);
    }
    out_ << text.text;
    return true;
}

// Expectations ------------------------------------------------------------------------------------

bool Session::ExpectObject(const ScriptLine& line, Object& object) {
    const std::string name = Quoted(PathOf(object));
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        if (!setting) {
            return Error(line, Quoted(line.words[i]) + " is not KEY=VALUE");
        }
        const std::string& key = setting->key;
        std::string is;
        bool known = true;
        if (key == "editor" && ModeFromName(setting->value)) {
            is = ModeName(object.EditorMode());
        } else if (key == "render" && ModeFromName(setting->value)) {
            is = ModeName(object.RenderMode());
        } else if (key == "enabled" && ParseYesNo(setting->value)) {
            is = YesNo(object.Enabled());
            if (*ParseYesNo(setting->value) == object.Enabled()) {
                is = setting->value;
            }
        } else if (key == "selected" && ParseYesNo(setting->value)) {
            is = YesNo(object.Selected());
            if (*ParseYesNo(setting->value) == object.Selected()) {
                is = setting->value;
            }
        } else if (key == "record" || key.rfind("saved-", 0) == 0) {
            known = false;
        } else {
            return Error(line, Quoted(line.words[i]) +
                                   ": expected editor=MODE, render=MODE, enabled=yes|no, "
                                   "selected=yes|no, record=none|present, saved-editor=MODE, "
                                   "saved-render=MODE or saved-enabled=yes|no");
        }
        if (known && is != setting->value) {
            ExpectFailed(line, ShouldBe(name, key, setting->value).append(", it is ").append(is));
        }
    }
    return ExpectRecord(line, object);
}

bool Session::ExpectRecord(const ScriptLine& line, Object& object) {
    const std::string name = Quoted(PathOf(object));
    const Container* record = object.Data().GetContainerInstance(kRecordKey);
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        const std::string& key = setting->key;
        if (key == "record") {
            if (setting->value != "none" && setting->value != "present") {
                return Error(line, "expected record=none or record=present");
            }
            const bool wanted = setting->value == "present";
            if (wanted != (record != nullptr)) {
                ExpectFailed(line,
                             name + (wanted ? " should carry an isolation record, it has none"
                                            : " should carry no isolation record, it has one"));
            }
            continue;
        }
        if (key.rfind("saved-", 0) != 0) {
            continue;
        }
        if (record == nullptr) {
            ExpectFailed(line, ShouldBe(name, key, setting->value)
                                   .append(", but the object carries no isolation record"));
            continue;
        }
        std::string is;
        if (key == "saved-editor" && ModeFromName(setting->value)) {
            is = ModeNumberName(record->GetInt32(VELA_SAVED_EDITOR_MODE, 2));
        } else if (key == "saved-render" && ModeFromName(setting->value)) {
            is = ModeNumberName(record->GetInt32(VELA_SAVED_RENDER_MODE, 2));
        } else if (key == "saved-enabled" && ParseYesNo(setting->value)) {
            const bool saved = record->GetBool(VELA_SAVED_ENABLED, true);
            is = saved == *ParseYesNo(setting->value) ? setting->value : YesNo(saved);
        } else {
            return Error(line, Quoted(line.words[i]) +
                                   ": expected saved-editor=MODE, saved-render=MODE or "
                                   "saved-enabled=yes|no");
        }
        if (is != setting->value) {
            ExpectFailed(line, ShouldBe(name, key, setting->value).append(", it is ").append(is));
        }
    }
    return true;
}

bool Session::ExpectDocument(const ScriptLine& line) {
    const Container* record = host_.ActiveDocument().Data().GetContainerInstance(kRecordKey);
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        if (setting && setting->key == "record" &&
            (setting->value == "none" || setting->value == "present")) {
            const bool wanted = setting->value == "present";
            if (wanted != (record != nullptr)) {
                ExpectFailed(line, std::string("the document should ") +
                                       (wanted ? "carry an isolation record, it has none"
                                               : "carry no isolation record, it has one"));
            }
        } else if (setting && setting->key == "begun-with-alt" && ParseYesNo(setting->value)) {
            const bool is = record != nullptr && record->GetBool(VELA_DOC_BEGUN_WITH_ALT, false);
            if (is != *ParseYesNo(setting->value)) {
                ExpectFailed(line, std::string("the isolation should ") +
                                       (is ? "not have begun" : "have begun") + " with Alt held");
            }
        } else if (setting && setting->key == "doc-state" && ParseInt(setting->value)) {
            const std::int32_t is = record != nullptr ? record->GetInt32(VELA_DOC_STATE, 0) : 0;
            if (is != *ParseInt(setting->value)) {
                ExpectFailed(line, "the document record's state should be " + setting->value +
                                       ", it is " + std::to_string(is));
            }
        } else {
            return Error(line,
                         "expected: expect document [record=none|present] "
                         "[doc-state=N] [begun-with-alt=yes|no]");
        }
    }
    return true;
}

}  // namespace vhost::cli
