// Scope classes for Win32 handles: each owns one handle, closes it when it
// goes out of scope, can be moved but not copied. Every early return of the
// code that holds one is thereby leak-free.
#pragma once

#include <windows.h>
#include <objbase.h>

// Where the traits' Invalid() is constexpr (null), an empty scope is all
// zero bytes and a global one takes no start-up code.
template <typename Traits>
class CScopedHandle {
public:
    using Handle = typename Traits::Handle;

    CScopedHandle() = default;
    explicit CScopedHandle(Handle handle) : handle_(handle) {}
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;
    CScopedHandle(CScopedHandle&& other) noexcept : handle_(other.Detach()) {}
    CScopedHandle& operator=(CScopedHandle&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }
    ~CScopedHandle() { Reset(); }

    bool IsValid() const { return handle_ != Traits::Invalid(); }
    explicit operator bool() const { return IsValid(); }
    Handle Get() const { return handle_; }
    // For functions that fill in a handle: closes the present one first.
    Handle* Receive() {
        Reset();
        return &handle_;
    }
    Handle Detach() {
        Handle handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }
    void Reset(Handle handle = Traits::Invalid()) {
        if (IsValid()) Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::Invalid();
};

struct CRegistryKeyTraits {
    using Handle = HKEY;
    static constexpr Handle Invalid() { return nullptr; }
    static void Close(Handle key) { RegCloseKey(key); }
};

// Kernel handles that use null for "none" (processes, threads, events).
struct CKernelHandleTraits {
    using Handle = HANDLE;
    static constexpr Handle Invalid() { return nullptr; }
    static void Close(Handle handle) { CloseHandle(handle); }
};

// Kernel handles that use INVALID_HANDLE_VALUE for "none" (files).
struct CFileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { CloseHandle(handle); }
};

struct CFindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { FindClose(handle); }
};

template <typename T>
struct CGdiObjectTraits {
    using Handle = T;
    static constexpr Handle Invalid() { return nullptr; }
    static void Close(Handle object) { DeleteObject(object); }
};

// Device contexts made with CreateDC or CreateCompatibleDC.
struct CCreatedDcTraits {
    using Handle = HDC;
    static constexpr Handle Invalid() { return nullptr; }
    static void Close(Handle dc) { DeleteDC(dc); }
};

struct CGlobalMemoryTraits {
    using Handle = HGLOBAL;
    static constexpr Handle Invalid() { return nullptr; }
    static void Close(Handle block) { GlobalFree(block); }
};

// Blocks of the process heap: HeapAlloc(GetProcessHeap(), ...), typed as T*.
template <typename T>
struct CProcessHeapTraits {
    using Handle = T*;
    static constexpr Handle Invalid() { return nullptr; }
    static void Close(Handle block) { HeapFree(GetProcessHeap(), 0, block); }
};

// Local memory the system allocates for the caller (CommandLineToArgvW,
// FormatMessageW with FORMAT_MESSAGE_ALLOCATE_BUFFER), typed as T.
template <typename T>
struct CLocalMemoryTraits {
    using Handle = T;
    static constexpr Handle Invalid() { return nullptr; }
    static void Close(Handle block) { LocalFree(block); }
};

// Memory that COM or the shell allocates for the caller (an item id list),
// typed as T.
template <typename T>
struct CTaskMemoryTraits {
    using Handle = T;
    static constexpr Handle Invalid() { return nullptr; }
    static void Close(Handle block) { CoTaskMemFree(block); }
};

using CRegistryKey = CScopedHandle<CRegistryKeyTraits>;
using CKernelHandle = CScopedHandle<CKernelHandleTraits>;
using CFileHandle = CScopedHandle<CFileHandleTraits>;
using CFindHandle = CScopedHandle<CFindHandleTraits>;
using CBitmapHandle = CScopedHandle<CGdiObjectTraits<HBITMAP>>;
using CBrushHandle = CScopedHandle<CGdiObjectTraits<HBRUSH>>;
using CFontHandle = CScopedHandle<CGdiObjectTraits<HFONT>>;
using CCreatedDc = CScopedHandle<CCreatedDcTraits>;
using CGlobalMemory = CScopedHandle<CGlobalMemoryTraits>;
template <typename T>
using CProcessHeapBlock = CScopedHandle<CProcessHeapTraits<T>>;
template <typename T>
using CLocalMemory = CScopedHandle<CLocalMemoryTraits<T>>;
template <typename T>
using CTaskMemory = CScopedHandle<CTaskMemoryTraits<T>>;

// A device context obtained with GetDC, released with the same window.
class CWindowDc {
public:
    explicit CWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    CWindowDc(const CWindowDc&) = delete;
    CWindowDc& operator=(const CWindowDc&) = delete;
    ~CWindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC Get() const { return dc_; }
    bool IsValid() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// Selects a GDI object into a device context and puts the previous one back.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;
    ~CSelectObject() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Keeps a global memory block locked for the life of the scope.
class CGlobalLock {
public:
    explicit CGlobalLock(HGLOBAL block) : block_(block), data_(block ? GlobalLock(block) : nullptr) {}
    CGlobalLock(const CGlobalLock&) = delete;
    CGlobalLock& operator=(const CGlobalLock&) = delete;
    ~CGlobalLock() {
        if (data_) GlobalUnlock(block_);
    }
    void* Get() const { return data_; }

private:
    HGLOBAL block_;
    void* data_;
};
