// What the uninstaller may change, written down before and after a run.
#pragma once

#include <string>
#include <vector>

#include "bench/SampleInstallation.h"

namespace qvtest {

// Everything the uninstaller may touch, as text lines: the files and folders
// of the installation and the preview folder, and the product's registry
// entries with their values. Equal snapshots mean nothing was changed.
std::vector<std::wstring> SnapshotOf(const SampleInstallation& sample);

}  // namespace qvtest
