#include "support/ComPointer.h"

#include "support/LibrarySearch.h"

HRESULT ClearVariant(VARIANT* value) {
    using Function = HRESULT(WINAPI*)(VARIANT*);
    static const Function clear = SystemFunction<Function>(L"oleaut32.dll", "VariantClear");
    return clear ? clear(value) : E_FAIL;
}

BSTR AllocateBstr(const wchar_t* text) {
    using Function = BSTR(WINAPI*)(const OLECHAR*);
    static const Function allocate = SystemFunction<Function>(L"oleaut32.dll", "SysAllocString");
    return allocate ? allocate(text) : nullptr;
}
