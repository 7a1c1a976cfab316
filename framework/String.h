// A small growable wide-character string: the framework's string class.
//
// The standard library's strings pull a large runtime into a static MinGW
// build, so product code keeps its texts in this class instead. Allocation
// failures never throw: the string then keeps its previous content (or stays
// empty) and IsValid() turns false, so callers can go on in a degraded way.
#pragma once

#include <windows.h>

class CString {
public:
    CString() = default;
    CString(const wchar_t* text);  // NOLINT: implicit on purpose, like the framework's
    CString(const wchar_t* text, int length);
    CString(const CString& other);
    CString(CString&& other) noexcept;
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    CString& operator=(const wchar_t* text);

    CString& operator+=(const CString& other);
    CString& operator+=(const wchar_t* text);
    CString& operator+=(wchar_t ch);
    void Append(const wchar_t* text, int length);

    friend CString operator+(const CString& left, const CString& right);
    friend CString operator+(const CString& left, const wchar_t* right);
    friend CString operator+(const wchar_t* left, const CString& right);

    bool operator==(const CString& other) const;
    bool operator==(const wchar_t* other) const;
    bool operator!=(const CString& other) const { return !(*this == other); }
    bool operator!=(const wchar_t* other) const { return !(*this == other); }

    operator const wchar_t*() const { return GetString(); }  // NOLINT
    const wchar_t* GetString() const;
    int GetLength() const { return length_; }
    bool IsEmpty() const { return length_ == 0; }
    bool IsValid() const { return !failed_; }
    wchar_t GetAt(int index) const;

    void Empty();
    // Shortens the string to the given length (no effect when it is longer).
    void Truncate(int length);
    // Lowercases the letters in place, by the system's rules.
    void MakeLower();

    int Find(wchar_t ch, int start = 0) const;
    int Find(const wchar_t* text, int start = 0) const;
    int ReverseFind(wchar_t ch) const;
    CString Left(int count) const;
    CString Mid(int start) const;
    CString Mid(int start, int count) const;

    // Replaces the content with a printf-style formatted text (wsprintf-like
    // specifiers as understood by the C runtime's _vsnwprintf).
    void Format(const wchar_t* format, ...);

    // Loads a string resource of the application's module; an undefined id
    // gives the empty text and returns false.
    bool LoadString(UINT id);

private:
    bool Reserve(int capacity);

    wchar_t* data_ = nullptr;
    int length_ = 0;
    int capacity_ = 0;
    // Set by a failed allocation. Kept as "failed", not "valid", so that an
    // empty string is all zero bytes: a global one then takes no initialised
    // data in the program.
    bool failed_ = false;
};

// An ordered list of strings: the framework's string list.
class CStringList {
public:
    CStringList() = default;
    CStringList(const CStringList&) = delete;
    CStringList& operator=(const CStringList&) = delete;
    ~CStringList();

    bool Add(const CString& text);
    int GetCount() const { return count_; }
    const CString& GetAt(int index) const { return items_[index]; }
    void RemoveAll();

private:
    CString* items_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
};
