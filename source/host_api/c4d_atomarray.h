// A counted list of objects that the module owns (Alloc/Free, or AutoAlloc).
#pragma once

#include "c4d_types.h"

class BaseObject;

class AtomArray {
public:
    AtomArray() = delete;
    AtomArray(const AtomArray&) = delete;
    AtomArray& operator=(const AtomArray&) = delete;
    ~AtomArray() = delete;

    // A new empty array; null when the host has no memory for it.
    static AtomArray* Alloc();
    // Releases the array and sets the pointer to null. Null is ignored.
    static void Free(AtomArray*& array);

    Int32 GetCount() const;
    // The object at `index`; null past the end.
    BaseObject* GetIndex(Int32 index) const;

    HostAtomArray* Handle() { return reinterpret_cast<HostAtomArray*>(this); }
    const HostAtomArray* Handle() const { return reinterpret_cast<const HostAtomArray*>(this); }
};

// Owns one object made with T::Alloc and frees it with T::Free when it goes out of scope, so no
// path can forget the release.
template <typename T>
class AutoAlloc {
public:
    AutoAlloc() : object_(T::Alloc()) {}
    ~AutoAlloc() { T::Free(object_); }
    AutoAlloc(const AutoAlloc&) = delete;
    AutoAlloc& operator=(const AutoAlloc&) = delete;

    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }
    T* Get() const { return object_; }

private:
    T* object_;
};
