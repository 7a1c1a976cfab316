#include "support/TextFields.h"

CString ExtractField(const CString& text, int index, wchar_t separator) {
    if (index < 0) return CString();
    int start = 0;
    for (int field = 0; field <= index; ++field) {
        const int end = text.Find(separator, start);
        if (end < 0) return field == index ? text.Mid(start) : CString();
        if (field == index) return text.Mid(start, end - start);
        start = end + 1;
    }
    return CString();
}
