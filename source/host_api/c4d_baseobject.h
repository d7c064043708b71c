// Objects of a document's object tree.
//
// A BaseObject* is the host's object handle itself: the module never constructs, copies or frees
// one, and keeps none beyond the call in which the host gave it access.
#pragma once

#include "c4d_basecontainer.h"
#include "c4d_string.h"
#include "c4d_types.h"

class BaseDocument;

class BaseObject {
public:
    BaseObject() = delete;
    BaseObject(const BaseObject&) = delete;
    BaseObject& operator=(const BaseObject&) = delete;
    ~BaseObject() = delete;

    Int32 GetType() const;
    String GetName() const;

    BaseObject* GetUp() const;
    BaseObject* GetDown() const;
    BaseObject* GetNext() const;
    BaseObject* GetPred() const;
    BaseDocument* GetDocument() const;

    // The object's data container, in place, and a copy of it.
    BaseContainer* GetDataInstance();
    BaseContainer GetData();

    // Sends a message to the object; the host answers what the object's type makes of it.
    Bool Message(Int32 type, void* data = nullptr);

    Bool GetBit(Int32 mask) const;
    void SetBit(Int32 mask);
    void DelBit(Int32 mask);

    // Visibility in the editor and in the render (MODE_ON, MODE_OFF, MODE_UNDEF).
    Int32 GetEditorMode() const;
    void SetEditorMode(Int32 mode);
    Int32 GetRenderMode() const;
    void SetRenderMode(Int32 mode);
    // The enabled state (the object's generators and deformers take effect).
    Bool GetDeformMode() const;
    void SetDeformMode(Bool enabled);

    HostObject* Handle() { return reinterpret_cast<HostObject*>(this); }
    const HostObject* Handle() const { return reinterpret_cast<const HostObject*>(this); }
    static BaseObject* FromHandle(HostObject* handle) {
        return reinterpret_cast<BaseObject*>(handle);
    }
};
