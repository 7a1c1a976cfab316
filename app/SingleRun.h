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

// Takes the product's turn once start-up has read the record (recordRead
// non-zero), or when it failed after "uninstall.ini" named the product:
// another run may be removing the keys that the record is read from, and
// the run must say that, not that the product is missing. Non-zero when
// this run may go on.
int TakeTurn(CSingleRun& singleRun, int recordRead);
