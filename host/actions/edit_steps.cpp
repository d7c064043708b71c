#include "actions/edit_steps.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "vela_host/host_table.h"

namespace vhost::actions {

namespace {

Outcome OutOfStep(ObjectId id) {
    Outcome outcome;
    outcome.refusal = Refusal::OutOfStep;
    outcome.message = "object " + std::to_string(id) + " is no longer where the step left it";
    return outcome;
}

// Where an object stands among its siblings, by ids, so the place can be found again after the
// objects around it have been taken out and put back.
struct Spot {
    ObjectId parent = 0;
    ObjectId pred = 0;  // 0: first among the parent's children
};

Spot SpotOf(const Object& object) {
    return {object.Up() != nullptr ? object.Up()->Id() : 0,
            object.Pred() != nullptr ? object.Pred()->Id() : 0};
}

// The place a spot names, or none when its parent or its predecessor is not in the document.
std::optional<Placement> PlaceOf(const Document& document, Spot spot) {
    Placement where{.first = spot.pred == 0};
    if (spot.parent != 0 && (where.parent = document.FindById(spot.parent)) == nullptr) {
        return std::nullopt;
    }
    if (spot.pred != 0 && (where.after = document.FindById(spot.pred)) == nullptr) {
        return std::nullopt;
    }
    return where;
}

// Subtrees a step has taken out of its document, whole, with the spot each left; deleted with
// the step unless they were put back.
class KeptSubtrees {
public:
    explicit KeptSubtrees(Document& document) : document_(document) {}
    ~KeptSubtrees() {
        for (const Kept& kept : kept_) document_.DiscardDetached(kept.root);
    }
    KeptSubtrees(const KeptSubtrees&) = delete;
    KeptSubtrees& operator=(const KeptSubtrees&) = delete;

    // Takes the objects with `ids` out, in this order; refused, changing nothing, when one is
    // not in the document.
    Outcome TakeOut(const std::vector<ObjectId>& ids) {
        for (const ObjectId id : ids) {
            if (document_.FindById(id) == nullptr) return OutOfStep(id);
        }
        for (const ObjectId id : ids) {
            Object* object = document_.FindById(id);
            kept_.push_back({object, id, SpotOf(*object)});
            document_.DetachObject(object);
        }
        return {};
    }

    // Puts everything back, the last taken out first, each at the spot it left; refused,
    // changing nothing, when a spot is gone or an id has been given to another object.
    Outcome PutBack() {
        if (const ObjectId stuck = FirstStuck(); stuck != 0) return OutOfStep(stuck);
        while (!kept_.empty()) {
            const Kept& kept = kept_.back();
            document_.ReattachObject(kept.root, *PlaceOf(document_, kept.spot));
            kept_.pop_back();
        }
        return {};
    }

private:
    struct Kept {
        Object* root;  // valid while the document holds it detached
        ObjectId id;
        Spot spot;
    };

    // The first root that could not be put back, or 0. A spot may name a root put back before.
    ObjectId FirstStuck() const {
        std::vector<ObjectId> back;
        const auto present = [&](ObjectId id) {
            return id == 0 || document_.FindById(id) != nullptr ||
                   std::find(back.begin(), back.end(), id) != back.end();
        };
        for (std::size_t i = kept_.size(); i-- > 0;) {
            const Kept& kept = kept_[i];
            if (!document_.HoldsDetached(kept.root)) return kept.id;
            bool free = true;
            Document::ForEachInSubtree(*kept.root, [&](Object& each) {
                free = free && document_.FindById(each.Id()) == nullptr;
            });
            if (!free || !present(kept.spot.parent) || !present(kept.spot.pred)) {
                return kept.id;
            }
            back.push_back(kept.id);
        }
        return 0;
    }

    Document& document_;
    std::vector<Kept> kept_;
};

// A step on one object found by id.
class ObjectStep : public Step {
public:
    ObjectStep(Document& document, const Object& object, const std::string& verb)
        : Step(verb + " " + object.Name()), document_(document), id_(object.Id()) {}

protected:
    // Runs `change` on the object, or refuses when it is gone.
    template <typename Change>
    Outcome OnObject(Change change) {
        Object* object = document_.FindById(id_);
        if (object == nullptr) return OutOfStep(id_);
        change(*object);
        return {};
    }
    Document& Doc() { return document_; }
    ObjectId Id() const { return id_; }

private:
    Document& document_;
    ObjectId id_;
};

// Whether an edit from one value to the other changes nothing. Transforms that come back from
// typed or dragged numbers match only within rounding; values of other kinds never count as
// the same, so their steps are always kept.
bool SameValue(const Matrix& a, const Matrix& b) {
    constexpr double kRounding = 1e-9;
    const auto near = [](const Vector& u, const Vector& v) {
        return std::abs(u.x - v.x) <= kRounding && std::abs(u.y - v.y) <= kRounding &&
               std::abs(u.z - v.z) <= kRounding;
    };
    return near(a.off, b.off) && near(a.v1, b.v1) && near(a.v2, b.v2) && near(a.v3, b.v3);
}
template <typename Value>
bool SameValue(const Value& /*a*/, const Value& /*b*/) {
    return false;
}

// A value of an object with the value before and after.
template <typename Value, typename Set>
class ValueStep : public ObjectStep {
public:
    ValueStep(Document& document, const Object& object, const std::string& verb, Value before,
              Value after, Set set)
        : ObjectStep(document, object, verb),
          before_(std::move(before)),
          after_(std::move(after)),
          set_(set) {}
    Outcome Do() override {
        return OnObject([this](Object& object) { set_(object, after_); });
    }
    Outcome Undo() override {
        return OnObject([this](Object& object) { set_(object, before_); });
    }
    bool Absorb(const Step& later) override {
        const auto* same = dynamic_cast<const ValueStep*>(&later);
        if (same == nullptr || same->Id() != Id()) return false;
        after_ = same->after_;
        return true;
    }
    bool ChangesNothing() const override { return SameValue(before_, after_); }

private:
    Value before_;
    Value after_;
    Set set_;
};

template <typename Value, typename Set>
std::unique_ptr<Step> MakeValueStep(Document& document, const Object& object,
                                    const std::string& verb, Value before, Value after, Set set) {
    return std::make_unique<ValueStep<Value, Set>>(document, object, verb, std::move(before),
                                                   std::move(after), set);
}

// Objects the step makes or takes out. Done, they are in the document; undone, they are kept
// out; `made_` makes them the first time.
class SubtreesStep : public Step {
public:
    SubtreesStep(Document& document, std::string name, bool doTakesOut)
        : Step(std::move(name)), kept_(document), doTakesOut_(doTakesOut) {}
    Outcome Do() override { return doTakesOut_ ? kept_.TakeOut(ids_) : Bring(); }
    Outcome Undo() override { return doTakesOut_ ? kept_.PutBack() : TakeOutLastFirst(); }

protected:
    // Makes the objects the first time the step is done, filling ids_.
    virtual void Make() = 0;
    std::vector<ObjectId> ids_;

private:
    // Answers the objects in the document again in `pasted`.
    Outcome Bring() {
        Outcome outcome;
        if (made_) {
            outcome = kept_.PutBack();
        } else {
            Make();
            made_ = true;
        }
        if (outcome.Done()) outcome.pasted = ids_;
        return outcome;
    }
    Outcome TakeOutLastFirst() {
        return kept_.TakeOut(std::vector<ObjectId>(ids_.rbegin(), ids_.rend()));
    }

    KeptSubtrees kept_;
    bool doTakesOut_;
    bool made_ = false;
};

class AddObjectStep : public SubtreesStep {
public:
    AddObjectStep(Document& document, AddObject add)
        : SubtreesStep(document, "Add " + add.name, false),
          document_(document),
          add_(std::move(add)) {}

private:
    void Make() override {
        const Placement where{add_.parent != 0 ? document_.FindById(add_.parent) : nullptr,
                              add_.after != 0 ? document_.FindById(add_.after) : nullptr};
        Object* object = document_.CreateObject(add_.type, add_.name, where, add_.id);
        object->SetEditorMode(add_.editor);
        object->SetRenderMode(add_.render);
        object->SetEnabled(add_.enabled);
        if (add_.selected) object->SetBit(kBitActive);
        if (add_.link != 0) object->Data().SetLink(HOST_INSTANCE_LINK, add_.link);
        ids_.push_back(object->Id());
    }

    Document& document_;
    AddObject add_;
};

class DeleteObjectStep : public SubtreesStep {
public:
    // `topmost`: no object below another of them, none twice.
    DeleteObjectStep(Document& document, const std::vector<const Object*>& topmost)
        : SubtreesStep(document, NameOf(topmost), true) {
        for (const Object* object : topmost) ids_.push_back(object->Id());
    }

private:
    static std::string NameOf(const std::vector<const Object*>& objects) {
        if (objects.size() == 1) return "Delete " + objects.front()->Name();
        return "Delete " + std::to_string(objects.size()) + " Objects";
    }
    void Make() override {}
};

class PasteObjectsStep : public SubtreesStep {
public:
    PasteObjectsStep(Document& document, const Document& clipboard, Placement where)
        : SubtreesStep(document, NameOf(clipboard), false),
          document_(document),
          clipboard_(clipboard),
          where_(where) {}

private:
    static std::string NameOf(const Document& clipboard) {
        const Object* first = clipboard.FirstObject();
        if (first != nullptr && first->Next() == nullptr) return "Paste " + first->Name();
        std::size_t count = 0;
        for (const Object* each = first; each != nullptr; each = each->Next()) ++count;
        return "Paste " + std::to_string(count) + " Objects";
    }
    void Make() override {
        Placement where = where_;
        for (const Object* each = clipboard_.FirstObject(); each != nullptr; each = each->Next()) {
            Object* copy = document_.CopyObject(*each, where);
            ids_.push_back(copy->Id());
            where.after = copy;
        }
    }

    Document& document_;
    const Document& clipboard_;
    Placement where_;
};

class MoveObjectStep : public ObjectStep {
public:
    MoveObjectStep(Document& document, const Object& object, ObjectId parent, ObjectId after,
                   bool first)
        : ObjectStep(document, object, "Move"),
          to_{parent, after},
          first_(first),
          from_(SpotOf(object)) {}
    Outcome Do() override {
        // `after` 0 is last, not first, the first time; the spot left is known from then on.
        Object* object = Doc().FindById(Id());
        if (object == nullptr) return OutOfStep(Id());
        const Spot from = SpotOf(*object);
        Placement where{.parent = to_.parent != 0 ? Doc().FindById(to_.parent) : nullptr,
                        .after = to_.pred != 0 ? Doc().FindById(to_.pred) : nullptr,
                        .first = to_.pred == 0 && first_};
        if (!Doc().MoveObject(object, where)) return OutOfStep(Id());
        from_ = from;
        return {};
    }
    Outcome Undo() override {
        Object* object = Doc().FindById(Id());
        const std::optional<Placement> where = PlaceOf(Doc(), from_);
        if (object == nullptr || !where || !Doc().MoveObject(object, *where)) {
            return OutOfStep(Id());
        }
        return {};
    }

private:
    Spot to_;  // pred: the `after` given, 0 for last (or first, with first_)
    bool first_;
    Spot from_;
};

// A change of the document's takes. A document without takes (made by some old scene files) gets
// them with the first; undone, it has none again.
class TakesStep : public Step {
public:
    TakesStep(Document& document, std::string name) : Step(std::move(name)), document_(document) {}

protected:
    TakeData& Takes() {
        if (document_.Takes() == nullptr) {
            document_.EnsureTakeData();
            madeTakes_ = true;
        }
        return *document_.Takes();
    }
    void ForgetTakesIfMade() {
        if (madeTakes_) document_.RemoveTakeData();
        madeTakes_ = false;
    }
    static Outcome Missing(const std::string& take) {
        Outcome outcome;
        outcome.refusal = Refusal::OutOfStep;
        outcome.message = "the take " + take + " is no longer where the step left it";
        return outcome;
    }

private:
    Document& document_;
    bool madeTakes_ = false;
};

class NewTakeChange : public TakesStep {
public:
    NewTakeChange(Document& document, std::string take)
        : TakesStep(document, "New Take " + take), take_(std::move(take)) {}
    Outcome Do() override {
        Takes().AddTake(take_);
        return {};
    }
    Outcome Undo() override {
        TakeData& takes = Takes();
        if (takes.Takes().back()->Name() != take_) return Missing(take_);
        takes.RemoveLastTake();
        ForgetTakesIfMade();
        return {};
    }

private:
    std::string take_;
};

class UseTakeChange : public TakesStep {
public:
    UseTakeChange(Document& document, std::string take)
        : TakesStep(document, "Use Take " + take), to_(std::move(take)) {}
    Outcome Do() override {
        TakeData& takes = Takes();
        Take* to = takes.Find(to_);
        if (to == nullptr) return Missing(to_);
        const Take* current = takes.CurrentTake();
        from_ = current != nullptr ? std::optional<std::string>(current->Name()) : std::nullopt;
        takes.SetCurrent(to);
        return {};
    }
    Outcome Undo() override {
        TakeData& takes = Takes();
        Take* from = from_ ? takes.Find(*from_) : nullptr;
        if (from_ && from == nullptr) return Missing(*from_);
        takes.SetCurrent(from);
        ForgetTakesIfMade();
        return {};
    }

private:
    std::string to_;
    std::optional<std::string> from_;  // none: no take was current
};

void ApplyStates(Object& object, const States& states) {
    if (states.editor) object.SetEditorMode(*states.editor);
    if (states.render) object.SetRenderMode(*states.render);
    if (states.enabled) object.SetEnabled(*states.enabled);
}

}  // namespace

std::unique_ptr<Step> StatesStep(Document& document, const Object& object, const States& to) {
    const States before{object.EditorMode(), object.RenderMode(), object.Enabled()};
    return MakeValueStep(document, object, "Set States of", before, to, &ApplyStates);
}

std::unique_ptr<Step> AddStep(Document& document, const AddObject& add) {
    return std::make_unique<AddObjectStep>(document, add);
}

std::unique_ptr<Step> DeleteStep(Document& document, const std::vector<const Object*>& objects) {
    std::vector<const Object*> topmost;
    for (const Object* object : objects) {
        bool below = false;
        for (const Object* above = object->Up(); above != nullptr && !below; above = above->Up()) {
            below = std::find(objects.begin(), objects.end(), above) != objects.end();
        }
        if (!below && std::find(topmost.begin(), topmost.end(), object) == topmost.end()) {
            topmost.push_back(object);
        }
    }
    return std::make_unique<DeleteObjectStep>(document, topmost);
}

std::unique_ptr<Step> MoveStep(Document& document, const Object& object, ObjectId parent,
                               ObjectId after, bool first) {
    return std::make_unique<MoveObjectStep>(document, object, parent, after, first);
}

std::unique_ptr<Step> LinkStep(Document& document, const Object& instance, ObjectId target) {
    return MakeValueStep(document, instance, "Link", instance.Data().GetLink(HOST_INSTANCE_LINK),
                         target, [](Object& object, ObjectId to) {
                             if (to == 0) {
                                 object.Data().Remove(HOST_INSTANCE_LINK);
                             } else {
                                 object.Data().SetLink(HOST_INSTANCE_LINK, to);
                             }
                         });
}

std::unique_ptr<Step> RenameStep(Document& document, const Object& object, std::string name) {
    return MakeValueStep(document, object, "Rename", object.Name(), std::move(name),
                         [](Object& each, const std::string& to) { each.SetName(to); });
}

std::unique_ptr<Step> TransformStep(Document& document, const Object& object, const Matrix& to) {
    return MakeValueStep(document, object, "Transform", object.LocalTransform(), to,
                         [](Object& each, const Matrix& value) { each.SetLocalTransform(value); });
}

std::unique_ptr<Step> NewTakeStep(Document& document, std::string name) {
    return std::make_unique<NewTakeChange>(document, std::move(name));
}

std::unique_ptr<Step> UseTakeStep(Document& document, std::string name) {
    return std::make_unique<UseTakeChange>(document, std::move(name));
}

std::unique_ptr<Step> PasteStep(Document& document, const Document& clipboard, ObjectId parent,
                                ObjectId after) {
    const Placement where{parent != 0 ? document.FindById(parent) : nullptr,
                          after != 0 ? document.FindById(after) : nullptr};
    return std::make_unique<PasteObjectsStep>(document, clipboard, where);
}

}  // namespace vhost::actions
