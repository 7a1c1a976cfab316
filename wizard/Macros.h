// Text macros: {AppName}, {ProgramFilesDir} and {CommonFilesDir} in displayed
// texts are replaced by their values just before display.
#pragma once

#include <windows.h>

#include "framework/String.h"

// Shown in place of a name that is not a known macro.
extern const wchar_t UnknownMacroMarker[];

// Replaces every {Name} in the text by its value. An opening brace always
// starts a macro; one without a closing brace takes the rest of the text as
// the name. Values are not scanned again.
void ExpandMacros(CString& text);

// Expands the text of one control of a dialog in place.
void ExpandControlText(HWND dialog, int controlId);
