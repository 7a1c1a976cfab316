// Creating the file of a log or plan for a program that runs with
// administrator rights, in a folder that any user may be able to write to.
//
// The file is made new, under a name of its own beside the named one, and
// then renamed onto the named path: an existing file of that name is
// replaced, never truncated or written through, so a link planted in its
// place leads nowhere. The named entry is refused when it is a folder or a
// link, and so is the path when one of the folders above it is a link or is
// one of the folders the run removes. Those folders are held open from the
// root down, each opened inside the one above without following a link and
// without delete sharing, from the check until the file is in place, so
// none of them can be renamed and swapped for a link meanwhile. The new file
// is created, renamed and, when it cannot take the name, deleted only
// through handles: the held folder's and its own, never by a path.
#pragma once

#include <windows.h>

// Creates the file at `path` (made full against the current folder) as
// above. `keptOut` lists folders (with or without a trailing "\") in which the
// file must not lie at any depth; empty entries and folders that do not exist
// are ignored. Returns a handle open for writing (others may read), or
// INVALID_HANDLE_VALUE when the path is refused or the file cannot be made.
HANDLE CreateLogFile(const wchar_t* path, const wchar_t* const* keptOut, int keptOutCount);

// The moments of CreateLogFile at which a folder swapped for a link could
// matter: the folders are held and checked (the new file is not made yet),
// and the new file is made (it is not renamed yet).
enum class LogFileStep { Held, Created };
// Called, when set, at each of those moments with the file's folder. Tests
// use it to swap the folder at exactly that moment.
extern void (*LogFileStepHook)(LogFileStep step, const wchar_t* folder);
