// What lies outside the product's own files and keys in a hostile-input
// case: sentinel files, folders and registry keys laid around the sample
// installation, and a record of that whole area to compare before and after
// the uninstaller ran.
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

// Every file and folder of the outside area (with attributes, sizes and a
// hash of the bytes) and every registry key and value there (with type and a
// hash of the data), one line each, sorted. The product's install folder,
// preview folder and keys are left out; so is the self-deletion batch.
std::vector<std::wstring> OutsideSnapshot(const Places& places);

// The lines of `before` that `after` lacks ("gone or changed") and the lines
// of `after` that `before` lacks ("new"), at most `limit` of each.
std::vector<std::wstring> SnapshotDifferences(const std::vector<std::wstring>& before,
                                              const std::vector<std::wstring>& after, size_t limit = 4);

}  // namespace hostile
