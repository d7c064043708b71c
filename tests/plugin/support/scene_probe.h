// Building scenes in the host's model and reading back what the command left in them: the three
// states of every object, its selection, and the records kept on objects and documents.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host.h"
#include "vela2023/vela_ids.h"

namespace velatest {

// Object types of the host (its built-in object plug-ins), by what matters to the command.
inline constexpr std::int32_t kNull = HOST_OBJECT_NULL;
inline constexpr std::int32_t kPolygon = HOST_OBJECT_POLYGON;
inline constexpr std::int32_t kLight = HOST_OBJECT_LIGHT;
inline constexpr std::int32_t kCube = vhost::kObjectCube;  // a generator that ignores its children
inline constexpr std::int32_t kSphere = vhost::kObjectSphere;  // likewise
inline constexpr std::int32_t kSubdivision =
    vhost::kObjectSubdivision;  // a generator that takes its children
inline constexpr std::int32_t kSymmetry = vhost::kObjectSymmetry;  // likewise
inline constexpr std::int32_t kCloner = vhost::kObjectCloner;      // likewise
inline constexpr std::int32_t kInstance =
    HOST_OBJECT_INSTANCE;  // refers to another object through a link
inline constexpr std::int32_t kInstanceLink = HOST_INSTANCE_LINK;  // that link's key in its data
inline constexpr std::int32_t kUnknownType = 424242;  // no object plug-in of the host has it

// Keys of the records.
inline constexpr std::int32_t kSavedEditorKey = VELA_SAVED_EDITOR_MODE;
inline constexpr std::int32_t kSavedRenderKey = VELA_SAVED_RENDER_MODE;
inline constexpr std::int32_t kSavedEnabledKey = VELA_SAVED_ENABLED;
inline constexpr std::int32_t kDocStateKey = VELA_DOC_STATE;
inline constexpr std::int32_t kDocBegunWithAltKey = VELA_DOC_BEGUN_WITH_ALT;

using vhost::Mode;

// The three states the command changes.
struct States {
    Mode editor = Mode::Default;
    Mode render = Mode::Default;
    bool enabled = true;
    bool operator==(const States&) const = default;
};

// An object record as the command reads it: missing keys read as 2, 2 and true.
struct SavedRecord {
    std::int32_t editor = 2;
    std::int32_t render = 2;
    bool enabled = true;
    bool operator==(const SavedRecord&) const = default;
};

// The record of the states `s`.
SavedRecord RecordOfStates(const States& s);

// The document record, read with its defaults (0 and false).
struct DocumentRecord {
    std::int32_t state = 0;
    bool begunWithAlt = false;
    bool operator==(const DocumentRecord&) const = default;
};

States StatesOf(const vhost::Object& object);
void SetStates(vhost::Object& object, const States& states);
std::optional<SavedRecord> RecordOf(const vhost::Object& object);
std::optional<DocumentRecord> DocumentRecordOf(const vhost::Document& document);
// Gives `object` a record as an earlier isolation would have left it.
void PutRecord(vhost::Object& object, const SavedRecord& record);

// Every object of the document in tree order (an object, its children, then its next sibling).
std::vector<vhost::Object*> AllObjects(const vhost::Document& document);
// Every object and its descendants, in tree order.
std::vector<vhost::Object*> Subtree(vhost::Object& root);

// Adds an object as the last child of `parent` (or at the top level).
vhost::Object& AddObject(vhost::Document& document, std::int32_t type, std::string_view name,
                         vhost::Object* parent, const States& states = {}, bool selected = false);
void LinkInstance(vhost::Object& instance, const vhost::Object* target);

// What an object looks like to the user, and what the command stored on it.
struct ObjectView {
    States states;
    bool selected = false;
    std::optional<SavedRecord> record;
    bool operator==(const ObjectView&) const = default;
};
using SceneView = std::unordered_map<vhost::ObjectId, ObjectView>;
SceneView ViewOf(const vhost::Document& document);

std::string ToString(Mode mode);
std::ostream& operator<<(std::ostream& out, const States& states);
std::ostream& operator<<(std::ostream& out, const SavedRecord& record);
std::ostream& operator<<(std::ostream& out, const DocumentRecord& record);
std::string ToString(const States& states);
std::string ToString(const std::optional<SavedRecord>& record);

}  // namespace velatest
