// Detecting Visual Studio 8.0 to 11.0 and removing the product's add-in and
// icon editor from one version.
#pragma once

class CAutomationBound;
class CRemovalRun;

// version: "8.0", "9.0", "10.0" or "11.0". On 64-bit Windows
// (is64BitWindows != 0) Visual Studio, a 32-bit program, keeps its keys in
// the 32-bit registry view.
int IsVisualStudioInstalled(const wchar_t* version, int is64BitWindows);
int IsAnyVisualStudioInstalled(int is64BitWindows);
void RemoveVisualStudioAddin(const wchar_t* version, const CAutomationBound& bound, CRemovalRun& run);
