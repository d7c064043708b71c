// Session commands for the scene: documents opened, saved and made, objects added, moved, linked
// and changed by hand, the selection, takes, the views of the scene (tree, dump), and the
// expectations about objects, the document and the isolation records the command keeps in them.
#include <optional>

#include "cli/object_paths.h"
#include "cli/script_words.h"
#include "cli/session.h"
#include "cli/tree_view.h"
#include "import/scene_opening.h"
#include "platform/utf8_path.h"
#include "scene_file/scene_file.h"
#include "text/quoting.h"
#include "vela2023/vela_ids.h"

namespace vhost::cli {

namespace {

constexpr std::int32_t kRecordKey = ID_VELA;
constexpr std::int32_t kInstanceLink = HOST_INSTANCE_LINK;

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
    host_.NewDocument(line.words.size() == 2 ? line.words[1] : "Untitled");
    return true;
}

bool Session::Open(const ScriptLine& line) {
    if (line.words.size() != 2) {
        return Usage(line);
    }
    ImportReport leftOut;
    SceneLoadResult loaded = OpenScene(host_, PathFromUtf8(ResolvePath(line.words[1])), &leftOut);
    if (!loaded.document) {
        return Error(line, loaded.error);
    }
    for (const std::string& report : leftOut.Lines(ResolvePath(line.words[1]))) {
        err_ << line.file << ':' << line.line << ": warning: " << report << '\n';
    }
    host_.AdoptDocument(std::move(loaded.document));
    return true;
}

bool Session::Save(const ScriptLine& line) {
    if (line.words.size() != 2) {
        return Usage(line);
    }
    const SceneSaveResult saved =
        SaveScene(host_.ActiveDocument(), PathFromUtf8(ResolvePath(line.words[1])));
    if (!saved.Ok()) {
        return Error(line, saved.error);
    }
    return true;
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
    Placement where;
    std::optional<Mode> editor;
    std::optional<Mode> render;
    std::optional<bool> enabled;
    std::optional<bool> selected;
    for (std::size_t i = 3; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        if (!setting) {
            return Error(line, Quoted(line.words[i]) + " is not KEY=VALUE");
        }
        if (setting->key == "parent") {
            if ((where.parent = Resolve(line, setting->value)) == nullptr) {
                return false;
            }
        } else if (setting->key == "after") {
            if ((where.after = Resolve(line, setting->value)) == nullptr) {
                return false;
            }
        } else if (setting->key == "editor" && ModeFromName(setting->value)) {
            editor = ModeFromName(setting->value);
        } else if (setting->key == "render" && ModeFromName(setting->value)) {
            render = ModeFromName(setting->value);
        } else if (setting->key == "enabled" && ParseYesNo(setting->value)) {
            enabled = ParseYesNo(setting->value);
        } else if (setting->key == "selected" && ParseYesNo(setting->value)) {
            selected = ParseYesNo(setting->value);
        } else {
            return Error(line, Quoted(line.words[i]) +
                                   ": expected parent=PATH, after=PATH, editor=on|off|default, "
                                   "render=on|off|default, enabled=yes|no or selected=yes|no");
        }
    }
    if (where.after != nullptr && where.after->Up() != where.parent) {
        return Error(line, "after=" + PathOf(*where.after) + " is not a child of the parent given");
    }
    Object* object = host_.ActiveDocument().CreateObject(type->type, line.words[2], where);
    object->SetEditorMode(editor.value_or(Mode::Default));
    object->SetRenderMode(render.value_or(Mode::Default));
    object->SetEnabled(enabled.value_or(true));
    if (selected.value_or(false)) {
        object->SetBit(kBitActive);
    }
    return true;
}

bool Session::Delete(const ScriptLine& line) {
    if (line.words.size() != 2) {
        return Usage(line);
    }
    Object* object = Resolve(line, line.words[1]);
    if (object == nullptr) {
        return false;
    }
    host_.ActiveDocument().DeleteObject(object);
    return true;
}

bool Session::Move(const ScriptLine& line) {
    if (line.words.size() < 3) {
        return Usage(line);
    }
    Object* object = Resolve(line, line.words[1]);
    if (object == nullptr) {
        return false;
    }
    Placement where{object->Up(), nullptr};
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        if (setting && setting->key == "parent") {
            where.parent = setting->value == "top" ? nullptr : Resolve(line, setting->value);
            if (setting->value != "top" && where.parent == nullptr) {
                return false;
            }
        } else if (setting && setting->key == "after") {
            if ((where.after = Resolve(line, setting->value)) == nullptr) {
                return false;
            }
        } else {
            return Usage(line);
        }
    }
    if (where.after != nullptr && where.after->Up() != where.parent) {
        return Error(line, "after=" + PathOf(*where.after) + " is not a child of the new parent");
    }
    if (!host_.ActiveDocument().MoveObject(object, where)) {
        return Error(line, "cannot move " + Quoted(PathOf(*object)) + " into its own hierarchy");
    }
    return true;
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
    std::vector<Object*> objects;
    for (std::size_t i = first; i < line.words.size(); ++i) {
        Object* object = Resolve(line, line.words[i]);
        if (object == nullptr) {
            return false;
        }
        objects.push_back(object);
    }
    if (!adding) {
        host_.ActiveDocument().DeselectAll();
    }
    for (Object* object : objects) {
        if (withChildren) {
            Document::ForEachInSubtree(*object, [](Object& each) { each.SetBit(kBitActive); });
        } else {
            object->SetBit(kBitActive);
        }
    }
    return true;
}

bool Session::Deselect(const ScriptLine& line) {
    if (line.words.size() == 1) {
        host_.ActiveDocument().DeselectAll();
        return true;
    }
    for (std::size_t i = 1; i < line.words.size(); ++i) {
        Object* object = Resolve(line, line.words[i]);
        if (object == nullptr) {
            return false;
        }
        object->DelBit(kBitActive);
    }
    return true;
}

bool Session::Link(const ScriptLine& line) {
    if (line.words.size() != 3) {
        return Usage(line);
    }
    Object* instance = Resolve(line, line.words[1]);
    if (instance == nullptr) {
        return false;
    }
    if (instance->Type() != HOST_OBJECT_INSTANCE) {
        return Error(line, Quoted(PathOf(*instance)) + " is not an instance object");
    }
    if (line.words[2] == "none") {
        instance->Data().Remove(kInstanceLink);
        return true;
    }
    Object* target = Resolve(line, line.words[2]);
    if (target == nullptr) {
        return false;
    }
    instance->Data().SetLink(kInstanceLink, target->Id());
    return true;
}

bool Session::Set(const ScriptLine& line) {
    if (line.words.size() < 3) {
        return Usage(line);
    }
    Object* object = Resolve(line, line.words[1]);
    if (object == nullptr) {
        return false;
    }
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        std::optional<Mode> mode;
        std::optional<bool> flag;
        if (setting && setting->key == "editor" && (mode = ModeFromName(setting->value))) {
            object->SetEditorMode(*mode);
        } else if (setting && setting->key == "render" && (mode = ModeFromName(setting->value))) {
            object->SetRenderMode(*mode);
        } else if (setting && setting->key == "enabled" && (flag = ParseYesNo(setting->value))) {
            object->SetEnabled(*flag);
        } else {
            return Error(line, Quoted(line.words[i]) +
                                   ": expected editor=on|off|default, render=on|off|default or "
                                   "enabled=yes|no");
        }
    }
    return true;
}

bool Session::TakeCommand(const ScriptLine& line) {
    if (line.words.size() != 3 || (line.words[1] != "new" && line.words[1] != "use")) {
        return Usage(line);
    }
    Document& document = host_.ActiveDocument();
    document.EnsureTakeData();
    TakeData& takes = *document.Takes();
    if (line.words[1] == "new") {
        if (takes.Find(line.words[2]) != nullptr) {
            return Error(line, "the document already has a take " + Quoted(line.words[2]));
        }
        takes.AddTake(line.words[2]);
        return true;
    }
    Take* take = takes.Find(line.words[2]);
    if (take == nullptr) {
        std::string known;
        for (const auto& t : takes.Takes()) {
            known += (known.empty() ? "" : ", ") + t->Name();
        }
        return Error(line, "no take " + Quoted(line.words[2]) + " (there are: " + known + ")");
    }
    takes.SetCurrent(take);
    return true;
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
