// Scope classes for COM: an interface pointer that is released when it goes
// out of scope, and a VARIANT that is cleared. Neither can be copied.
#pragma once

#include <windows.h>

#include <oleauto.h>

// VariantClear and SysAllocString of oleaut32, which only the Visual Studio
// step needs: the library is loaded at their first call (see
// support/LibrarySearch.h). E_FAIL and null when it cannot be loaded.
HRESULT ClearVariant(VARIANT* value);
BSTR AllocateBstr(const wchar_t* text);

template <typename T>
class CComPointer {
public:
    CComPointer() = default;
    CComPointer(const CComPointer&) = delete;
    CComPointer& operator=(const CComPointer&) = delete;
    ~CComPointer() { Reset(); }

    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // For functions that fill in an interface pointer: releases the present one.
    void** Receive() {
        Reset();
        return reinterpret_cast<void**>(&pointer_);
    }
    // Keeps a pointer that someone else owns: adds a reference of our own.
    void Share(T* pointer) {
        if (pointer) pointer->AddRef();
        Reset();
        pointer_ = pointer;
    }
    void Reset() {
        if (pointer_) pointer_->Release();
        pointer_ = nullptr;
    }

private:
    T* pointer_ = nullptr;
};

class CVariant {
public:
    // Empty, as VariantInit leaves it.
    CVariant() { V_VT(&value_) = VT_EMPTY; }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;
    ~CVariant() { ClearVariant(&value_); }

    VARIANT* Get() { return &value_; }
    // The object the variant holds when it is a non-null VT_DISPATCH.
    IDispatch* Dispatch() const { return V_VT(&value_) == VT_DISPATCH ? V_DISPATCH(&value_) : nullptr; }

    // Holds a new BSTR copy of the text; false when it cannot be allocated.
    bool SetText(const wchar_t* text) {
        ClearVariant(&value_);
        BSTR copy = AllocateBstr(text);
        if (!copy) return false;
        V_VT(&value_) = VT_BSTR;
        V_BSTR(&value_) = copy;
        return true;
    }
    void SetLong(LONG number) {
        ClearVariant(&value_);
        V_VT(&value_) = VT_I4;
        V_I4(&value_) = number;
    }
    // Holds the object with a reference of its own (null is allowed).
    void SetDispatch(IDispatch* object) {
        ClearVariant(&value_);
        if (object) object->AddRef();
        V_VT(&value_) = VT_DISPATCH;
        V_DISPATCH(&value_) = object;
    }

private:
    VARIANT value_;
};
