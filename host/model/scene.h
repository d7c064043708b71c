// The host's scene model: documents, their object trees and takes.
//
// Objects live in their document's storage; an Object* stays valid until the object is deleted.
// Every tree operation is iterative, so hierarchies of any depth are safe.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/container.h"
#include "model/geometry.h"

namespace vhost {

class Document;

// Visibility modes (HOST_MODE_*).
enum class Mode : std::int32_t { On = 0, Off = 1, Default = 2 };

// The name scene files, session scripts and views give a mode: "on", "off" or "default"; null for
// a value that is no mode.
const char* ModeName(Mode mode);
// The mode a name gives; none for any other word.
std::optional<Mode> ModeFromName(std::string_view name);

inline constexpr std::int32_t kBitActive = 2;  // HOST_BIT_ACTIVE: selected

class Object {
public:
    ObjectId Id() const { return id_; }
    std::int32_t Type() const { return type_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string_view name) { name_ = name; }

    Mode EditorMode() const { return editorMode_; }
    void SetEditorMode(Mode m) { editorMode_ = m; }
    Mode RenderMode() const { return renderMode_; }
    void SetRenderMode(Mode m) { renderMode_ = m; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool e) { enabled_ = e; }

    std::int32_t Bits() const { return bits_; }
    bool GetBit(std::int32_t mask) const { return (bits_ & mask) != 0; }
    // Changes of the selection bit are told to the document (see Document::SelectedObjects).
    void SetBit(std::int32_t mask);
    void DelBit(std::int32_t mask);
    bool Selected() const { return GetBit(kBitActive); }

    Container& Data() { return data_; }
    const Container& Data() const { return data_; }

    // Placement relative to the parent. Identity unless set; an identity costs no memory.
    const Matrix& LocalTransform() const;
    void SetLocalTransform(const Matrix& transform);
    // The geometry a polygon object shows; null for every other object and for a polygon object
    // without geometry. Shared with every copy of the object.
    const std::shared_ptr<const Mesh>& GetMesh() const { return mesh_; }
    void SetMesh(std::shared_ptr<const Mesh> mesh) { mesh_ = std::move(mesh); }

    Object* Up() const { return up_; }
    Object* Down() const { return down_; }
    Object* Next() const { return next_; }
    Object* Pred() const { return pred_; }
    Document* GetDocument() const { return document_; }

    // Messages the object received, counted by id (the walk sends 7 to every object it visits).
    std::uint32_t MessagesReceived(std::int32_t id) const;
    void ReceiveMessage(std::int32_t id);

    HostObject* Handle() { return reinterpret_cast<HostObject*>(this); }
    static Object* FromHandle(HostObject* h) { return reinterpret_cast<Object*>(h); }
    static const Object* FromHandle(const HostObject* h) {
        return reinterpret_cast<const Object*>(h);
    }

private:
    friend class Document;
    ObjectId id_ = 0;
    std::int32_t type_ = 0;
    std::int32_t bits_ = 0;
    Mode editorMode_ = Mode::Default;
    Mode renderMode_ = Mode::Default;
    bool enabled_ = true;
    std::uint32_t message7_ = 0;  // the walk's message, counted apart for speed
    std::vector<std::pair<std::int32_t, std::uint32_t>> otherMessages_;
    std::string name_;
    Container data_;
    std::unique_ptr<Matrix> transform_;  // null: identity
    std::shared_ptr<const Mesh> mesh_;
    Object* up_ = nullptr;
    Object* down_ = nullptr;
    Object* downLast_ = nullptr;  // last child, so appending is constant time
    Object* next_ = nullptr;
    Object* pred_ = nullptr;
    Document* document_ = nullptr;
};

class Take {
public:
    const std::string& Name() const { return name_; }
    bool IsMain() const { return main_; }
    HostTake* Handle() { return reinterpret_cast<HostTake*>(this); }
    static Take* FromHandle(const HostTake* h) {
        // The table hands out one handle type for reading and writing; constness is the caller's.
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast)
        return reinterpret_cast<Take*>(const_cast<HostTake*>(h));
    }

private:
    friend class TakeData;
    std::string name_;
    bool main_ = false;
};

// A document's takes: the main take, further takes, and the current one.
class TakeData {
public:
    TakeData();  // holds the main take "Main", which is current
    Take* MainTake();
    Take* CurrentTake() const;  // null only after SetCurrent(nullptr)
    void SetCurrent(Take* take);
    Take* AddTake(std::string_view name);
    // Removes the take added last, never the main take; the main take becomes current if it was.
    void RemoveLastTake();
    Take* Find(std::string_view name);
    const std::vector<std::unique_ptr<Take>>& Takes() const { return takes_; }  // main first
    HostTakeData* Handle() { return reinterpret_cast<HostTakeData*>(this); }
    static TakeData* FromHandle(const HostTakeData* h) {
        // The table hands out one handle type for reading and writing; constness is the caller's.
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast)
        return reinterpret_cast<TakeData*>(const_cast<HostTakeData*>(h));
    }

private:
    std::vector<std::unique_ptr<Take>> takes_;
    Take* current_ = nullptr;
};

// Where a new or moved object goes.
struct Placement {
    Object* parent = nullptr;  // null: top level
    Object* after =
        nullptr;         // null: last among the parent's children; else right after this sibling
    bool first = false;  // with `after` null: first among the parent's children instead of last
};

class Document {
public:
    explicit Document(std::string name = "Untitled");
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string_view n) { name_ = n; }
    // A number no other document of this process has, so an action can name a document that
    // may have closed meanwhile.
    std::uint64_t Serial() const { return serial_; }

    Container& Data() { return data_; }
    const Container& Data() const { return data_; }

    // Objects ---------------------------------------------------------------------------------
    Object* FirstObject() const { return first_; }
    // A new object inserted at `where`. `id` 0 takes the next free id; a given id must be unused
    // in this document (scene loading); the counter moves past it.
    // Ids come from one counter for the whole process, so objects made in different documents
    // never share an id and a link names one object only. Null when `where` is not a place in
    // this document (a parent or sibling elsewhere, or `after` not a child of `parent`) or when
    // the given id is taken.
    Object* CreateObject(std::int32_t type, std::string_view name, Placement where = {},
                         ObjectId id = 0);
    // Moves `object` with its subtree; false when `where` lies inside the moved subtree, is not
    // a place in this document, or `object` is not in this document.
    bool MoveObject(Object* object, Placement where);
    // Deletes `object` and its whole subtree.
    void DeleteObject(Object* object);
    // Takes `object` with its subtree out of the tree and out of FindById, keeping every object
    // whole (ids, data containers with their records, transforms) for ReattachObject, which puts
    // it back, or DiscardDetached, which deletes it; the document deletes what is still detached
    // when it goes. False when `object` is not in this document's tree.
    bool DetachObject(Object* object);
    // Puts a subtree DetachObject took out back at `where`. False, changing nothing, when `root`
    // is not detached from this document, `where` is not a place in it, or an id of the subtree
    // has been given to another object meanwhile.
    bool ReattachObject(Object* root, Placement where);
    // Deletes a subtree DetachObject took out; nothing for any other object.
    void DiscardDetached(Object* root);
    // Whether `root` is a subtree DetachObject took out that is still kept (not put back, not
    // discarded, not deleted by Clear).
    bool HoldsDetached(Object* root) const { return detached_.contains(root); }
    // Copies `object` with its subtree (data containers included, records too) to `where`, in this
    // document, giving the copies new ids. Returns the copy of `object`. `object` may lie in
    // another document, and `where` inside the copied subtree: the copy is made before it is
    // inserted. Names, types, modes, bits, data and transforms are copied, meshes shared;
    // received messages are not. Null
    // when `where` is not a place in this document.
    Object* CopyObject(const Object& object, Placement where);
    // Deletes every object, detached subtrees too.
    void Clear();
    std::size_t ObjectCount() const;
    Object* FindById(ObjectId id) const;
    // Objects whose name path from the top matches (e.g. "Car/Wheel FL").
    std::vector<Object*> FindByPath(std::string_view path) const;
    // Depth-first pre-order visit of the whole tree, without recursion. Return false to stop.
    // The visitor may change objects but not the tree's structure.
    void ForEach(const std::function<bool(Object&)>& visit) const;
    // The same visit of `root` and everything below it, `root` first.
    static void ForEachInSubtree(Object& root, const std::function<void(Object&)>& visit);
    // Selected objects in tree order. Without `includeChildrenOfSelected`, objects below a
    // selected object are left out, selected or not. The full list is kept between queries and
    // made again only after the selection or the tree's order changed (a selection bit set or
    // cleared, an object moved, copied or deleted), so repeated queries of an unchanged
    // document do not walk the tree.
    std::vector<Object*> SelectedObjects(bool includeChildrenOfSelected = true) const;
    void DeselectAll();

    // Takes: present unless removed (documents made by some old scene files have none) -----------
    TakeData* Takes() { return takes_.get(); }
    const TakeData* Takes() const { return takes_.get(); }
    void RemoveTakeData() { takes_.reset(); }
    void EnsureTakeData();

    HostDocument* Handle() { return reinterpret_cast<HostDocument*>(this); }
    static Document* FromHandle(const HostDocument* h) {
        // The table hands out one handle type for reading and writing; constness is the caller's.
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast)
        return reinterpret_cast<Document*>(const_cast<HostDocument*>(h));
    }

private:
    friend class Object;
    struct Storage;  // object allocation (pooled)

    void ForgetSelection() { selectionKnown_ = false; }
    std::vector<Object*> WalkSelection(bool includeChildrenOfSelected) const;

    bool Owns(const Object* object) const { return object != nullptr && object->document_ == this; }
    bool IsValidPlacement(Placement where) const;
    Object* NewObject(ObjectId id);
    Object* NewCopyOf(const Object& source);
    void DestroyObject(Object* object);
    void DestroySubtree(Object* root);
    void Link(Object* object, Placement where);
    void Unlink(Object* object);

    std::string name_;
    std::uint64_t serial_ = 0;
    Container data_;
    Object* first_ = nullptr;
    Object* last_ = nullptr;
    std::unique_ptr<TakeData> takes_;
    std::unique_ptr<Storage> storage_;
    std::unordered_map<ObjectId, Object*> byId_;
    std::unordered_set<Object*> detached_;    // roots DetachObject took out
    mutable std::vector<Object*> selection_;  // every selected object, when selectionKnown_
    mutable bool selectionKnown_ = false;
};

inline void Object::SetBit(std::int32_t mask) {
    if ((mask & kBitActive) != 0 && !Selected()) document_->ForgetSelection();
    bits_ |= mask;
}

inline void Object::DelBit(std::int32_t mask) {
    if ((mask & kBitActive) != 0 && Selected()) document_->ForgetSelection();
    bits_ &= ~mask;
}

}  // namespace vhost
