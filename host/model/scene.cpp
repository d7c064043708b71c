#include "model/scene.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <new>

namespace vhost {

const char* ModeName(Mode mode) {
    switch (mode) {
        case Mode::On:
            return "on";
        case Mode::Off:
            return "off";
        case Mode::Default:
            return "default";
    }
    return nullptr;
}

std::optional<Mode> ModeFromName(std::string_view name) {
    for (const Mode mode : {Mode::On, Mode::Off, Mode::Default}) {
        if (name == ModeName(mode)) return mode;
    }
    return std::nullopt;
}

namespace {

// The last id handed out or honoured in this process. One counter for all documents keeps ids
// unique across documents, so a link resolved in the wrong document finds nothing.
std::atomic<ObjectId> g_lastId{0};

ObjectId TakeNextId() { return g_lastId.fetch_add(1, std::memory_order_relaxed) + 1; }

std::atomic<std::uint64_t> g_lastDocumentSerial{0};

void MoveCounterPast(ObjectId id) {
    ObjectId last = g_lastId.load(std::memory_order_relaxed);
    while (last < id && !g_lastId.compare_exchange_weak(last, id, std::memory_order_relaxed)) {
    }
}

// The object after `object` in depth-first pre-order, optionally passing over its subtree.
Object* NextInPreOrder(const Object* object, bool skipChildren) {
    if (!skipChildren && object->Down() != nullptr) return object->Down();
    while (object != nullptr && object->Next() == nullptr) object = object->Up();
    return object != nullptr ? object->Next() : nullptr;
}

std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (true) {
        std::size_t slash = path.find('/');
        parts.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos) return parts;
        path.remove_prefix(slash + 1);
    }
}

}  // namespace

// Object ------------------------------------------------------------------------------------------

std::uint32_t Object::MessagesReceived(std::int32_t id) const {
    if (id == 7) return message7_;
    for (const auto& [messageId, count] : otherMessages_) {
        if (messageId == id) return count;
    }
    return 0;
}

void Object::ReceiveMessage(std::int32_t id) {
    if (id == 7) {
        ++message7_;
        return;
    }
    for (auto& [messageId, count] : otherMessages_) {
        if (messageId == id) {
            ++count;
            return;
        }
    }
    otherMessages_.emplace_back(id, 1U);
}

const Matrix& Object::LocalTransform() const {
    static const Matrix identity;
    return transform_ ? *transform_ : identity;
}

void Object::SetLocalTransform(const Matrix& transform) {
    if (transform.IsIdentity()) {
        transform_.reset();
    } else if (transform_) {
        *transform_ = transform;
    } else {
        transform_ = std::make_unique<Matrix>(transform);
    }
}

// Takes -------------------------------------------------------------------------------------------

TakeData::TakeData() {
    auto main = std::make_unique<Take>();
    main->name_ = "Main";
    main->main_ = true;
    current_ = main.get();
    takes_.push_back(std::move(main));
}

Take* TakeData::MainTake() { return takes_.front().get(); }

Take* TakeData::CurrentTake() const { return current_; }

void TakeData::SetCurrent(Take* take) { current_ = take; }

Take* TakeData::AddTake(std::string_view name) {
    auto take = std::make_unique<Take>();
    take->name_ = name;
    takes_.push_back(std::move(take));
    return takes_.back().get();
}

void TakeData::RemoveLastTake() {
    if (takes_.size() < 2) return;
    if (current_ == takes_.back().get()) current_ = MainTake();
    takes_.pop_back();
}

Take* TakeData::Find(std::string_view name) {
    for (const auto& take : takes_) {
        if (take->name_ == name) return take.get();
    }
    return nullptr;
}

// Object storage ----------------------------------------------------------------------------------

// Objects live in chunks that grow geometrically up to a fixed size; freed slots form an
// intrusive list and are reused first. An object never moves, so Object* and the address of its
// data container stay valid until the object is deleted.
struct Document::Storage {
    struct Slot {
        alignas(Object) std::byte bytes[sizeof(Object)];
    };
    struct FreeSlot {
        FreeSlot* next;
    };
    static_assert(sizeof(Slot) >= sizeof(FreeSlot));

    static constexpr std::size_t kFirstChunk = 64;
    static constexpr std::size_t kLargestChunk = 16384;

    std::vector<std::unique_ptr<Slot[]>> chunks;
    std::size_t chunkSize = 0;
    std::size_t usedInChunk = 0;
    FreeSlot* freeSlots = nullptr;

    Object* Construct() {
        void* place = TakeSlot();
        return new (place) Object();
    }

    // Runs the object's destructor and keeps its slot for the next object.
    void Destroy(Object* object) {
        object->~Object();
        freeSlots = new (static_cast<void*>(object)) FreeSlot{freeSlots};
    }

private:
    void* TakeSlot() {
        if (freeSlots != nullptr) {
            FreeSlot* slot = freeSlots;
            freeSlots = slot->next;
            return slot;
        }
        if (usedInChunk == chunkSize) AddChunk();
        return chunks.back()[usedInChunk++].bytes;
    }

    void AddChunk() {
        chunkSize = chunkSize == 0 ? kFirstChunk : std::min(chunkSize * 2, kLargestChunk);
        chunks.push_back(std::make_unique_for_overwrite<Slot[]>(chunkSize));
        usedInChunk = 0;
    }
};

// Document ----------------------------------------------------------------------------------------

Document::Document(std::string name)
    : name_(std::move(name)),
      serial_(g_lastDocumentSerial.fetch_add(1, std::memory_order_relaxed) + 1),
      takes_(std::make_unique<TakeData>()),
      storage_(std::make_unique<Storage>()) {
    data_.SetSceneData(true);
}

Document::~Document() { Clear(); }

bool Document::IsValidPlacement(Placement where) const {
    if (where.parent != nullptr && !Owns(where.parent)) return false;
    if (where.after == nullptr) return true;
    return Owns(where.after) && where.after->up_ == where.parent;
}

Object* Document::NewObject(ObjectId id) {
    Object* object = storage_->Construct();
    object->id_ = id;
    object->document_ = this;
    object->data_.SetSceneData(true);
    byId_.emplace(id, object);
    return object;
}

Object* Document::NewCopyOf(const Object& source) {
    Object* copy = NewObject(TakeNextId());
    copy->type_ = source.type_;
    copy->name_ = source.name_;
    copy->bits_ = source.bits_;
    copy->editorMode_ = source.editorMode_;
    copy->renderMode_ = source.renderMode_;
    copy->enabled_ = source.enabled_;
    copy->data_ = source.data_;
    if (source.transform_) copy->transform_ = std::make_unique<Matrix>(*source.transform_);
    copy->mesh_ = source.mesh_;
    return copy;
}

// A detached object's id may belong to another object by now: only the object's own entry goes.
void Document::DestroyObject(Object* object) {
    auto found = byId_.find(object->id_);
    if (found != byId_.end() && found->second == object) byId_.erase(found);
    storage_->Destroy(object);
}

// Post-order without recursion: descend to a leaf, destroy it, continue with its next sibling or,
// when it was the last child, with its parent, which has then become a leaf. Only `down_` is kept
// up to date on the way: every other link inside the subtree dies with it. `root` must already be
// unlinked from its siblings and parent.
void Document::DestroySubtree(Object* root) {
    Object* object = root;
    while (true) {
        while (object->down_ != nullptr) object = object->down_;
        if (object == root) {
            DestroyObject(object);
            return;
        }
        Object* parent = object->up_;
        Object* next = object->next_;
        parent->down_ = next;
        DestroyObject(object);
        object = next != nullptr ? next : parent;
    }
}

void Document::Link(Object* object, Placement where) {
    Object*& first = where.parent != nullptr ? where.parent->down_ : first_;
    Object*& last = where.parent != nullptr ? where.parent->downLast_ : last_;
    Object* pred = where.after != nullptr ? where.after : (where.first ? nullptr : last);
    Object* next = pred != nullptr ? pred->next_ : first;
    object->up_ = where.parent;
    object->pred_ = pred;
    object->next_ = next;
    (pred != nullptr ? pred->next_ : first) = object;
    (next != nullptr ? next->pred_ : last) = object;
}

void Document::Unlink(Object* object) {
    Object*& first = object->up_ != nullptr ? object->up_->down_ : first_;
    Object*& last = object->up_ != nullptr ? object->up_->downLast_ : last_;
    (object->pred_ != nullptr ? object->pred_->next_ : first) = object->next_;
    (object->next_ != nullptr ? object->next_->pred_ : last) = object->pred_;
    object->up_ = nullptr;
    object->pred_ = nullptr;
    object->next_ = nullptr;
}

Object* Document::CreateObject(std::int32_t type, std::string_view name, Placement where,
                               ObjectId id) {
    if (!IsValidPlacement(where)) return nullptr;
    if (id == 0) {
        id = TakeNextId();
    } else if (byId_.contains(id)) {
        return nullptr;
    } else {
        MoveCounterPast(id);
    }
    Object* object = NewObject(id);
    object->type_ = type;
    object->name_ = name;
    Link(object, where);
    return object;
}

bool Document::MoveObject(Object* object, Placement where) {
    if (!Owns(object) || !IsValidPlacement(where)) return false;
    for (const Object* above = where.parent; above != nullptr; above = above->up_) {
        if (above == object) return false;
    }
    if (where.after == object) return true;  // already right there
    Unlink(object);
    Link(object, where);
    ForgetSelection();
    return true;
}

void Document::DeleteObject(Object* object) {
    if (!Owns(object)) return;
    Unlink(object);
    DestroySubtree(object);
    ForgetSelection();
}

bool Document::DetachObject(Object* object) {
    if (!Owns(object) || FindById(object->id_) != object) return false;
    Unlink(object);
    ForEachInSubtree(*object, [this](Object& each) { byId_.erase(each.id_); });
    detached_.insert(object);
    ForgetSelection();
    return true;
}

bool Document::ReattachObject(Object* root, Placement where) {
    if (!detached_.contains(root) || !IsValidPlacement(where)) return false;
    bool free = true;
    ForEachInSubtree(*root,
                     [this, &free](Object& each) { free = free && !byId_.contains(each.id_); });
    if (!free) return false;
    ForEachInSubtree(*root, [this](Object& each) { byId_.emplace(each.id_, &each); });
    detached_.erase(root);
    Link(root, where);
    ForgetSelection();
    return true;
}

void Document::DiscardDetached(Object* root) {
    if (detached_.erase(root) == 0) return;
    DestroySubtree(root);
}

// Builds the whole copy apart from the tree, walking the source in pre-order with the copy in
// step, and inserts it only when complete: a copy placed inside its own source is never walked.
Object* Document::CopyObject(const Object& object, Placement where) {
    if (!IsValidPlacement(where)) return nullptr;
    Object* root = NewCopyOf(object);
    const Object* source = &object;
    Object* copy = root;
    while (true) {
        if (source->down_ != nullptr) {
            source = source->down_;
            Object* child = NewCopyOf(*source);
            Link(child, {copy, nullptr});
            copy = child;
            continue;
        }
        while (source != &object && source->next_ == nullptr) {
            source = source->up_;
            copy = copy->up_;
        }
        if (source == &object) break;
        source = source->next_;
        Object* sibling = NewCopyOf(*source);
        Link(sibling, {copy->up_, nullptr});
        copy = sibling;
    }
    Link(root, where);
    ForgetSelection();
    return root;
}

void Document::Clear() {
    for (Object* root : detached_) DestroySubtree(root);
    detached_.clear();
    for (auto& [id, object] : byId_) storage_->Destroy(object);
    byId_.clear();
    first_ = nullptr;
    last_ = nullptr;
    ForgetSelection();
}

std::size_t Document::ObjectCount() const { return byId_.size(); }

Object* Document::FindById(ObjectId id) const {
    auto found = byId_.find(id);
    return found != byId_.end() ? found->second : nullptr;
}

std::vector<Object*> Document::FindByPath(std::string_view path) const {
    std::vector<Object*> matches;
    if (path.empty()) return matches;
    std::vector<std::string_view> names = SplitPath(path);
    for (Object* object = first_; object != nullptr; object = object->next_) {
        if (object->name_ == names.front()) matches.push_back(object);
    }
    for (std::size_t level = 1; level < names.size() && !matches.empty(); ++level) {
        std::vector<Object*> children;
        for (const Object* parent : matches) {
            for (Object* child = parent->down_; child != nullptr; child = child->next_) {
                if (child->name_ == names[level]) children.push_back(child);
            }
        }
        matches = std::move(children);
    }
    return matches;
}

void Document::ForEach(const std::function<bool(Object&)>& visit) const {
    for (Object* object = first_; object != nullptr; object = NextInPreOrder(object, false)) {
        if (!visit(*object)) return;
    }
}

void Document::ForEachInSubtree(Object& root, const std::function<void(Object&)>& visit) {
    visit(root);
    Object* object = root.Down();
    while (object != nullptr) {
        visit(*object);
        if (object->Down() != nullptr) {
            object = object->Down();
            continue;
        }
        while (object != &root && object->Next() == nullptr) object = object->Up();
        object = object == &root ? nullptr : object->Next();
    }
}

std::vector<Object*> Document::SelectedObjects(bool includeChildrenOfSelected) const {
    if (!includeChildrenOfSelected) return WalkSelection(false);
    if (!selectionKnown_) {
        selection_ = WalkSelection(true);
        selectionKnown_ = true;
    }
    return selection_;
}

std::vector<Object*> Document::WalkSelection(bool includeChildrenOfSelected) const {
    std::vector<Object*> selected;
    Object* object = first_;
    while (object != nullptr) {
        bool isSelected = object->Selected();
        if (isSelected) selected.push_back(object);
        object = NextInPreOrder(object, isSelected && !includeChildrenOfSelected);
    }
    return selected;
}

// Non-const: it changes the document's objects, which live in its pool.
// NOLINTNEXTLINE(readability-make-member-function-const)
void Document::DeselectAll() {
    ForEach([](Object& object) {
        object.DelBit(kBitActive);
        return true;
    });
}

void Document::EnsureTakeData() {
    if (!takes_) takes_ = std::make_unique<TakeData>();
}

}  // namespace vhost
