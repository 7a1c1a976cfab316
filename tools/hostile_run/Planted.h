// The Planted mutations of tools/hostile-run: an AutoRun command for the
// command interpreter, a file at the self-deletion batch's name, registry
// links in the per-user product key and listed files that are hard links to
// files outside the product. Each is checked as planted, and removed again
// between cases.
#pragma once

#include <string>
#include <vector>

#include "tools/hostile_run/Mutations.h"
#include "bench/SampleInstallation.h"

namespace hostile {

// Where the AutoRun command would leave its mark.
extern const wchar_t AutoRunMarker[];

// Plants what the Planted mutations name, after the other mutations were
// applied. The read-only sentinel files that hard links share are added to
// `sentinels` with their bytes and attributes. False with "could not plant
// <label>: <reason>" when a plant did not take.
bool PlantAll(const std::vector<Mutation>& mutations, const Places& places,
              std::vector<qvtest::SentinelFile>& sentinels, std::wstring* error);

// The listed files (full paths) that the mutations turn into second names of
// read-only files outside the product: the removal keeps them (a second name
// of a read-only file is not deleted, and its attributes are not cleared).
std::vector<std::wstring> PlantedListedFiles(const std::vector<Mutation>& mutations, const Places& places);

// Removes whatever any Planted row may have planted; runs before the sample
// installation's keys are deleted, which would otherwise be followed through
// a registry link.
void RemovePlanted(const Places& places);

}  // namespace hostile
