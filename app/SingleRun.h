// One uninstall of a product at a time, across sessions and accounts: a
// named mutex in the global namespace, keyed on the product key, held until
// the process ends.
#pragma once

#include <windows.h>

#include "support/Handles.h"

class CSingleRun {
public:
    // Non-zero when this run now holds the product's mutex (a run that was
    // killed leaves it abandoned, which counts as free). Zero when another
    // run holds it, or when it exists but cannot be opened: a run whose
    // turn cannot be proven does not remove anything.
    int Take(const wchar_t* productKey);

private:
    CKernelHandle mutex_;
};
