// Running processes seen across sessions: a deployment tool running as
// SYSTEM in session 0 sees no window of the user's session, but it sees the
// user's processes.
#pragma once

#include <windows.h>

#include "framework/String.h"

// Looks for a running process, other than this one, whose image lies in
// `folder` (a full path ending in "\") or below it. Non-zero when one is
// found; `name` then receives its image path and `id` its process id. Finds
// nothing on systems without QueryFullProcessImageNameW (before Vista).
int FindProcessInFolder(const wchar_t* folder, CString& name, DWORD& id);
