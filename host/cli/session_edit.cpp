// Session commands for editing: renaming, transforming, copying and pasting objects, the open
// documents (switching, closing), and undoing and redoing the active document's edits, with the
// expectation about the names its history gives the next undo and redo.
#include <charconv>
#include <optional>

#include "actions/history.h"
#include "actions/perform.h"
#include "cli/object_paths.h"
#include "cli/script_words.h"
#include "cli/session.h"
#include "text/quoting.h"

namespace vhost::cli {

namespace {

// "X,Y,Z" as three numbers; "nan" and "inf" are numbers here, for the action to refuse.
std::optional<Vector> ParseVector(const std::string& word) {
    double numbers[3] = {};
    const char* at = word.data();
    const char* end = word.data() + word.size();
    for (int i = 0; i < 3; ++i) {
        const auto [next, ec] = std::from_chars(at, end, numbers[i]);
        if (ec != std::errc()) return std::nullopt;
        at = next;
        if (i < 2) {
            if (at == end || *at != ',') return std::nullopt;
            ++at;
        }
    }
    if (at != end) return std::nullopt;
    return Vector{numbers[0], numbers[1], numbers[2]};
}

}  // namespace

// The open document with this name; reports the error itself when none or several have it.
Document* Session::FindOpenDocument(const ScriptLine& line, const std::string& name) {
    Document* found = nullptr;
    std::string names;
    for (const auto& document : host_.Documents()) {
        names += (names.empty() ? "" : ", ") + Quoted(document->Name());
        if (document->Name() != name) continue;
        if (found != nullptr) {
            Error(line, "several open documents are named " + Quoted(name));
            return nullptr;
        }
        found = document.get();
    }
    if (found == nullptr) Error(line, "no open document " + Quoted(name) + "; there are: " + names);
    return found;
}

bool Session::Rename(const ScriptLine& line) {
    if (line.words.size() != 3) {
        return Usage(line);
    }
    const Object* object = Resolve(line, line.words[1]);
    if (object == nullptr) {
        return false;
    }
    const actions::Outcome renamed =
        actions::Perform(host_, actions::RenameObject{object->Id(), line.words[2]});
    return renamed.Done() ||
           Error(line, "cannot rename " + Quoted(PathOf(*object)) + ": " + renamed.message);
}

bool Session::Transform(const ScriptLine& line) {
    if (line.words.size() < 2) {
        return Usage(line);
    }
    const Object* object = Resolve(line, line.words[1]);
    if (object == nullptr) {
        return false;
    }
    actions::TransformObject transform{.object = object->Id()};
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        const std::optional<Vector> value =
            setting ? ParseVector(setting->value) : std::optional<Vector>{};
        if (value && setting->key == "position") {
            transform.position = *value;
        } else if (value && setting->key == "rotation") {
            transform.rotation = *value;
        } else if (value && setting->key == "scale") {
            transform.scale = *value;
        } else if (setting && setting->key == "continues" && ParseYesNo(setting->value)) {
            transform.continues = *ParseYesNo(setting->value);
        } else {
            return Error(line, Quoted(line.words[i]) +
                                   ": expected position=X,Y,Z, rotation=X,Y,Z (degrees), "
                                   "scale=X,Y,Z or continues=yes|no");
        }
    }
    const actions::Outcome done = actions::Perform(host_, transform);
    return done.Done() || Error(line, done.message);
}

bool Session::Copy(const ScriptLine& line) {
    if (line.words.size() < 2) {
        return Usage(line);
    }
    actions::CopyObjects copy;
    if (!ResolveAll(line, 1, copy.objects)) {
        return false;
    }
    const actions::Outcome copied = actions::Perform(host_, copy);
    return copied.Done() || Error(line, copied.message);
}

// Paths of parent= and after= are looked up in the document pasted into.
bool Session::Paste(const ScriptLine& line) {
    Document* into = &host_.ActiveDocument();
    std::optional<std::string> parentPath;
    std::optional<std::string> afterPath;
    for (std::size_t i = 1; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        if (setting && setting->key == "document") {
            if ((into = FindOpenDocument(line, setting->value)) == nullptr) {
                return false;
            }
        } else if (setting && setting->key == "parent") {
            parentPath = setting->value;
        } else if (setting && setting->key == "after") {
            afterPath = setting->value;
        } else {
            return Usage(line);
        }
    }
    actions::PasteObjects paste{.document = into->Serial()};
    for (auto [path, id] : {std::pair{&parentPath, &paste.parent}, {&afterPath, &paste.after}}) {
        if (!*path || *path == "top") continue;
        const ObjectLookup lookup = FindObject(*into, **path);
        if (lookup.object == nullptr) {
            return Error(line, lookup.error);
        }
        *id = lookup.object->Id();
    }
    const actions::Outcome pasted = actions::Perform(host_, paste);
    return pasted.Done() || Error(line, pasted.message);
}

bool Session::DocumentCommand(const ScriptLine& line) {
    if (line.words.size() != 2) {
        return Usage(line);
    }
    const Document* document = FindOpenDocument(line, line.words[1]);
    if (document == nullptr) {
        return false;
    }
    const actions::Outcome switched =
        actions::Perform(host_, actions::SwitchDocument{document->Serial()});
    return switched.Done() || Error(line, switched.message);
}

bool Session::Close(const ScriptLine& line) {
    if (line.words.size() > 2) {
        return Usage(line);
    }
    const Document* document =
        line.words.size() == 2 ? FindOpenDocument(line, line.words[1]) : &host_.ActiveDocument();
    if (document == nullptr) {
        return false;
    }
    const actions::Outcome closed =
        actions::Perform(host_, actions::CloseDocument{document->Serial()});
    return closed.Done() || Error(line, closed.message);
}

bool Session::UndoCommand(const ScriptLine& line) {
    if (line.words.size() != 1) {
        return Usage(line);
    }
    const actions::Outcome undone = actions::Perform(host_, actions::Undo{});
    return undone.Done() || Error(line, "cannot undo: " + undone.message);
}

bool Session::RedoCommand(const ScriptLine& line) {
    if (line.words.size() != 1) {
        return Usage(line);
    }
    const actions::Outcome redone = actions::Perform(host_, actions::Redo{});
    return redone.Done() || Error(line, "cannot redo: " + redone.message);
}

// expect undo NAME|none, expect redo NAME|none: the step the menu would name.
bool Session::ExpectHistory(const ScriptLine& line) {
    if (line.words.size() != 3) {
        return Usage(line);
    }
    const actions::History& history = actions::HistoryOf(host_, host_.ActiveDocument());
    const bool undo = line.words[1] == "undo";
    std::string is = undo ? history.UndoName() : history.RedoName();
    if (is.empty()) is = "none";
    if (is != line.words[2]) {
        ExpectFailed(line, std::string("the step to ") + (undo ? "undo" : "redo") + " should be " +
                               Quoted(line.words[2]) + ", it is " + Quoted(is));
    }
    return true;
}

}  // namespace vhost::cli
