// Deleting the product's registry keys, its App Paths entry and its entries
// in the list of installed programs, then the Visual Studio add-in.
#pragma once

struct CRemovalInput;
class CRemovalRun;

void CleanRegistry(const CRemovalInput& input, CRemovalRun& run);
