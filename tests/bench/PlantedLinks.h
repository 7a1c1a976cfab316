// Links planted for tests by tools/lib/link-planter, which tools/test runs
// beside the test programs: a Unix symbolic link in the prefix's drive C:,
// which Wine reports as a reparse point and follows, the way a junction or
// a symbolic link behaves on Windows.
#pragma once

#include <string>

namespace qvtest {

// True when the planter runs for this test session.
bool LinksCanBePlanted();

// Makes `link` (a path on C: where nothing stands) a link to `target` (on C:).
bool PlantLink(const std::wstring& link, const std::wstring& target);

}  // namespace qvtest
