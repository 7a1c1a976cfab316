// Deleting the product's registry keys, its App Paths entry and its entries
// in the list of installed programs, then the Visual Studio add-in.
#pragma once

void CleanRegistry();
