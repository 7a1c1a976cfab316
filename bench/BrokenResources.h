// Copies of an executable with one resource that cannot be used: the
// failures that the real program meets when a page or its menu cannot be
// made, provoked without any change to the program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qvtest {

// A copy of an executable whose resource `id` of `type` is replaced by the
// given bytes: the failures that the real program meets when one of its
// resources cannot be used.
bool CopyWithReplacedResource(const std::wstring& source, const std::wstring& target, const wchar_t* type, int id,
                              const std::vector<BYTE>& data);
// A dialog template that cannot be made: its one control has a window class
// that nobody registered.
std::vector<BYTE> UncreatableDialogTemplate();
// A menu template of a version that no menu loader accepts.
std::vector<BYTE> UnloadableMenuTemplate();

}  // namespace qvtest
