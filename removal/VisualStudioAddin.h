// Detecting Visual Studio 8.0 to 11.0 and removing the product's add-in and
// icon editor from one version.
#pragma once

// version: "8.0", "9.0", "10.0" or "11.0".
int IsVisualStudioInstalled(const wchar_t* version);
int IsAnyVisualStudioInstalled();
void RemoveVisualStudioAddin(const wchar_t* version);
