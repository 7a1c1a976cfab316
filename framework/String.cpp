#include "framework/String.h"

#include <new>
#include <stdarg.h>
#include <stdio.h>

#include "framework/WinApp.h"

namespace {

HANDLE Heap() { return GetProcessHeap(); }

int TextLength(const wchar_t* text) { return text ? lstrlenW(text) : 0; }

}  // namespace

CString::CString(const wchar_t* text) { Append(text, TextLength(text)); }

CString::CString(const wchar_t* text, int length) { Append(text, length); }

CString::CString(const CString& other) { Append(other.data_, other.length_); }

CString::CString(CString&& other) noexcept
    : data_(other.data_), length_(other.length_), capacity_(other.capacity_), failed_(other.failed_) {
    other.data_ = nullptr;
    other.length_ = 0;
    other.capacity_ = 0;
    other.failed_ = false;
}

CString::~CString() {
    if (data_) HeapFree(Heap(), 0, data_);
}

CString& CString::operator=(const CString& other) {
    if (this != &other) {
        length_ = 0;
        failed_ = false;
        Append(other.data_, other.length_);
    }
    return *this;
}

CString& CString::operator=(CString&& other) noexcept {
    if (this != &other) {
        if (data_) HeapFree(Heap(), 0, data_);
        data_ = other.data_;
        length_ = other.length_;
        capacity_ = other.capacity_;
        failed_ = other.failed_;
        other.data_ = nullptr;
        other.length_ = 0;
        other.capacity_ = 0;
        other.failed_ = false;
    }
    return *this;
}

CString& CString::operator=(const wchar_t* text) {
    // The text may point into this string's own buffer.
    CString copy(text);
    *this = static_cast<CString&&>(copy);
    return *this;
}

CString& CString::operator+=(const CString& other) {
    Append(other.data_, other.length_);
    return *this;
}

CString& CString::operator+=(const wchar_t* text) {
    Append(text, TextLength(text));
    return *this;
}

CString& CString::operator+=(wchar_t ch) {
    Append(&ch, 1);
    return *this;
}

bool CString::Reserve(int capacity) {
    if (capacity <= capacity_) return true;
    int grown = capacity_ < 16 ? 16 : capacity_;
    while (grown < capacity) {
        if (grown > 0x3FFFFFFF / 2) {
            grown = capacity;
            break;
        }
        grown *= 2;
    }
    const SIZE_T bytes = static_cast<SIZE_T>(grown) * sizeof(wchar_t);
    void* block = data_ ? HeapReAlloc(Heap(), 0, data_, bytes) : HeapAlloc(Heap(), 0, bytes);
    if (!block) {
        failed_ = true;
        return false;
    }
    data_ = static_cast<wchar_t*>(block);
    capacity_ = grown;
    return true;
}

void CString::Append(const wchar_t* text, int length) {
    if (!text || length <= 0) return;
    if (length > 0x3FFFFFFF - length_ - 1) {
        failed_ = true;
        return;
    }
    // The text may lie in our own buffer, which Reserve may move.
    const bool inside = data_ && text >= data_ && text < data_ + capacity_;
    const int offset = inside ? static_cast<int>(text - data_) : 0;
    if (!Reserve(length_ + length + 1)) return;
    if (inside) text = data_ + offset;
    CopyMemory(data_ + length_, text, static_cast<SIZE_T>(length) * sizeof(wchar_t));
    length_ += length;
    data_[length_] = L'\0';
}

CString operator+(const CString& left, const CString& right) {
    CString result(left);
    result += right;
    return result;
}

CString operator+(const CString& left, const wchar_t* right) {
    CString result(left);
    result += right;
    return result;
}

CString operator+(const wchar_t* left, const CString& right) {
    CString result(left);
    result += right;
    return result;
}

bool CString::operator==(const CString& other) const {
    if (length_ != other.length_) return false;
    for (int i = 0; i < length_; ++i)
        if (data_[i] != other.data_[i]) return false;
    return true;
}

bool CString::operator==(const wchar_t* other) const {
    const int length = TextLength(other);
    if (length != length_) return false;
    for (int i = 0; i < length; ++i)
        if (data_[i] != other[i]) return false;
    return true;
}

const wchar_t* CString::GetString() const { return data_ ? data_ : L""; }

wchar_t CString::GetAt(int index) const {
    return (index >= 0 && index < length_) ? data_[index] : L'\0';
}

void CString::Empty() {
    length_ = 0;
    failed_ = false;
    if (data_) data_[0] = L'\0';
}

void CString::Truncate(int length) {
    if (length < 0) length = 0;
    if (length < length_) {
        length_ = length;
        data_[length_] = L'\0';
    }
}

void CString::MakeLower() {
    if (length_ > 0) CharLowerBuffW(data_, static_cast<DWORD>(length_));
}

int CString::Find(wchar_t ch, int start) const {
    if (start < 0) start = 0;
    for (int i = start; i < length_; ++i)
        if (data_[i] == ch) return i;
    return -1;
}

int CString::Find(const wchar_t* text, int start) const {
    const int length = TextLength(text);
    if (start < 0) start = 0;
    if (length == 0) return start <= length_ ? start : -1;
    for (int i = start; i + length <= length_; ++i) {
        int k = 0;
        while (k < length && data_[i + k] == text[k]) ++k;
        if (k == length) return i;
    }
    return -1;
}

int CString::ReverseFind(wchar_t ch) const {
    for (int i = length_ - 1; i >= 0; --i)
        if (data_[i] == ch) return i;
    return -1;
}

CString CString::Left(int count) const {
    if (count < 0) count = 0;
    if (count > length_) count = length_;
    return CString(GetString(), count);
}

CString CString::Mid(int start) const { return Mid(start, length_ - start); }

CString CString::Mid(int start, int count) const {
    if (start < 0) start = 0;
    if (start >= length_ || count <= 0) return CString();
    if (count > length_ - start) count = length_ - start;
    return CString(data_ + start, count);
}

void CString::Format(const wchar_t* format, ...) {
    // Try a growing buffer until the formatted text fits.
    for (int capacity = 256; capacity <= (1 << 20); capacity *= 4) {
        CString buffer;
        if (!buffer.Reserve(capacity)) break;
        va_list args;
        va_start(args, format);
        const int written = _vsnwprintf(buffer.data_, capacity - 1, format, args);
        va_end(args);
        if (written >= 0 && written < capacity - 1) {
            buffer.data_[written] = L'\0';
            buffer.length_ = written;
            *this = static_cast<CString&&>(buffer);
            return;
        }
    }
    Empty();
    failed_ = true;
}

bool CString::LoadString(UINT id) {
    Empty();
    const wchar_t* resource = nullptr;
    // With a zero length, LoadStringW hands out a read-only pointer to the
    // resource text, which is not terminated; its length is the result.
    const int length = ::LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<wchar_t*>(&resource), 0);
    if (length <= 0 || !resource) return false;
    Append(resource, length);
    return true;
}

CStringList::~CStringList() { RemoveAll(); }

bool CStringList::Add(const CString& text) {
    if (count_ == capacity_) {
        const int grown = capacity_ < 8 ? 8 : capacity_ * 2;
        const SIZE_T bytes = static_cast<SIZE_T>(grown) * sizeof(CString);
        // A CString holds no pointer into itself, so the array can move bytewise.
        void* block = items_ ? HeapReAlloc(Heap(), 0, items_, bytes) : HeapAlloc(Heap(), 0, bytes);
        if (!block) return false;
        items_ = static_cast<CString*>(block);
        capacity_ = grown;
    }
    new (&items_[count_]) CString(text);
    ++count_;
    return true;
}

void CStringList::RemoveAll() {
    for (int i = 0; i < count_; ++i) items_[i].~CString();
    if (items_) HeapFree(Heap(), 0, items_);
    items_ = nullptr;
    count_ = 0;
    capacity_ = 0;
}
