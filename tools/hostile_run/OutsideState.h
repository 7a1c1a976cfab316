// What lies outside the product's own files and keys in a hostile-input
// case: sentinel files, folders and registry keys laid around the sample
// installation; and a record of drive C: and the registry, the product's own
// part apart from the rest, to compare before and after the uninstaller ran.
#pragma once

#include <string>
#include <vector>

#include "tools/hostile_run/Mutations.h"

namespace hostile {

// Lays the sentinels of tools/hostile-run beside those of LaySentinels: the
// folder the planted links lead to ({target}), files a root install folder
// would name (C:\uninstall.ini, the media databases, a one-character folder
// C:\Q), an empty sibling folder, registry keys and values of other
// products and of the maker beside the product's own, and the keys that the
// planted registry links lead to. False with a reason when a write fails.
bool LayOutsideSentinels(const Places& places, std::wstring* error);
void RemoveOutsideSentinels(const Places& places);

// A record of the state a case works in, one line per file, folder,
// registry key and value, sorted; `product` holds the lines of the product's
// own files and keys (its install and preview folders, the batch's name
// "C:\QVUninst.bat", its keys under HKLM and HKCU, the uninstall entries,
// the App Paths entry, the icon file type's "PictureIndex" and the file types
// .qvg, .ico and icofile), `outside` every other line.
//
// Files: every file and folder of drive C: below the drive root, recursively
// (a file with its attributes, size and a hash of its bytes, a folder with
// its attributes); the Windows folder is recorded by its own line only, and
// the run's own plans and logs are left out. Links (reparse points) are
// recorded but never entered. A file over 16 MiB is recorded without a hash.
// Registry: HKLM\SOFTWARE in the 64-bit view (its Wow6432Node branch is the
// 32-bit view) and HKCU\Software, every key with its values (name, type,
// size, hash of the data) and subkeys, recursively, never through a registry
// link (a link is recorded with its target); and below HKCR the sentinel and
// the product's file types, and the names of all top-level keys.
// RecordExclusions() names what is left out below these roots, and why.
// Bounded: at most RecordDepthLimit folders or keys deep and RecordLineLimit
// lines; a record that reaches a bound ends with a line that says so.
struct StateRecord {
    std::vector<std::wstring> outside;
    std::vector<std::wstring> product;
    bool cut = false;  // a bound was reached
};

constexpr int RecordDepthLimit = 24;
constexpr size_t RecordLineLimit = 60000;

// "<path>: <reason>" for each folder and key the record leaves out.
std::vector<std::string> RecordExclusions();

// `runOwnFiles`: files of the run itself (its plans and logs), left out.
StateRecord RecordState(const Places& places, const std::vector<std::wstring>& runOwnFiles);

// The lines of `before` that `after` lacks ("gone or changed") and the lines
// of `after` that `before` lacks ("new"), at most `limit` of each.
std::vector<std::wstring> SnapshotDifferences(const std::vector<std::wstring>& before,
                                              const std::vector<std::wstring>& after, size_t limit = 4);

}  // namespace hostile
