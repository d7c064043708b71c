// Documents and their takes.
//
// BaseDocument*, TakeData* and BaseTake* are the host's handles themselves: the module never
// constructs, copies or frees them.
#pragma once

#include "c4d_atomarray.h"
#include "c4d_basecontainer.h"
#include "c4d_baseobject.h"
#include "c4d_types.h"

class BaseTake {
public:
    BaseTake() = delete;
    BaseTake(const BaseTake&) = delete;
    BaseTake& operator=(const BaseTake&) = delete;
    ~BaseTake() = delete;

    // True when this is its document's main take.
    Bool IsMain() const;

    const HostTake* Handle() const { return reinterpret_cast<const HostTake*>(this); }
};

class TakeData {
public:
    TakeData() = delete;
    TakeData(const TakeData&) = delete;
    TakeData& operator=(const TakeData&) = delete;
    ~TakeData() = delete;

    // The take that is current in the document, or null.
    BaseTake* GetCurrentTake() const;
    // The document's main take, or null.
    BaseTake* GetMainTake() const;

    const HostTakeData* Handle() const { return reinterpret_cast<const HostTakeData*>(this); }
};

class BaseDocument {
public:
    BaseDocument() = delete;
    BaseDocument(const BaseDocument&) = delete;
    BaseDocument& operator=(const BaseDocument&) = delete;
    ~BaseDocument() = delete;

    // The document's data container, in place; it is saved with the scene.
    BaseContainer* GetDataInstance();
    // The first top-level object, or null for an empty document.
    BaseObject* GetFirstObject() const;
    // Fills `selection` with the selected objects.
    void GetActiveObjects(AtomArray& selection, GETACTIVEOBJECTFLAGS flags) const;
    // The document's take data, or null.
    TakeData* GetTakeData();

    HostDocument* Handle() { return reinterpret_cast<HostDocument*>(this); }
    const HostDocument* Handle() const { return reinterpret_cast<const HostDocument*>(this); }
    static BaseDocument* FromHandle(HostDocument* handle) {
        return reinterpret_cast<BaseDocument*>(handle);
    }
};
