// Splitting a text whose fields are separated by one character.
#pragma once

#include "framework/String.h"

// The field with the zero-based index; empty for a negative index or one
// beyond the last field. Fields may be empty; the last runs to the end.
CString ExtractField(const CString& text, int index, wchar_t separator);
