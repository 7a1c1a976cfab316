// Registry deletions of a removal run: each acts (or, in a plan, only looks)
// and writes its line to the run's log.
#pragma once

#include <windows.h>

class CRemovalRun;

// Deletes a key with all its subkeys (support/Registry.h). A key that is a
// registry link is left alone.
void RemoveRegistryTree(CRemovalRun& run, HKEY root, const wchar_t* keyPath);

// Deletes one value; a missing key is created and left empty, as
// DeleteRegistryValue does, except in a plan, which only looks.
void RemoveRegistryValue(CRemovalRun& run, HKEY root, const wchar_t* keyPath, const wchar_t* valueName);
