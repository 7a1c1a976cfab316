#include "app/SingleRun.h"

#include "framework/String.h"
#include "wizard/UninstallRecord.h"

int CSingleRun::Take(const wchar_t* productKey) {
    if (mutex_) return 1;
    // A mutex name may hold any character but "\" after its namespace.
    CString name(L"Global\\Quorvex Uninstall ");
    for (const wchar_t* c = productKey; c && *c && name.GetLength() < MAX_PATH; ++c) name += *c == L'\\' ? L'/' : *c;
    mutex_.Reset(CreateMutexW(nullptr, FALSE, name));
    if (!mutex_) return 0;
    const DWORD waited = WaitForSingleObject(mutex_.Get(), 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return 1;
    mutex_.Reset();
    return 0;
}

int TakeTurn(CSingleRun& singleRun, int recordRead) {
    if (!recordRead && UninstallRecord.ProductKey.IsEmpty()) return 1;
    return singleRun.Take(UninstallRecord.ProductKey);
}
