// Creating the file of a log or plan for a program that runs with
// administrator rights, in a folder that any user may be able to write to.
//
// The file is made new, under a name of its own beside the named one, and
// then renamed onto the named path: an existing file of that name is
// replaced, never truncated or written through, so a link planted in its
// place leads nowhere. The named entry is refused when it is a folder or a
// link, and so is the path when one of the folders above it is a link or is
// one of the folders the run removes. Those folders are held open, without
// delete sharing, from the check until the file is in place, so none of them
// can be renamed and swapped for a link meanwhile.
#pragma once

#include <windows.h>

// Creates the file at `path` (made full against the current folder) as
// above. `keptOut` lists folders (with or without a trailing "\") in which the
// file must not lie at any depth; empty entries and folders that do not exist
// are ignored. Returns a handle open for writing (others may read), or
// INVALID_HANDLE_VALUE when the path is refused or the file cannot be made.
HANDLE CreateLogFile(const wchar_t* path, const wchar_t* const* keptOut, int keptOutCount);
