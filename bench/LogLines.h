// Reading the uninstaller's removal logs and plans in tests and test tools.
#pragma once

#include <string>
#include <vector>

namespace qvtest {

// The `what "subject"` part of every line of the log or plan at `path` that
// begins with `outcome` ("removed", "would remove", ...), sorted.
std::vector<std::string> LogLinesWithOutcome(const std::wstring& path, const std::string& outcome);

// The lines of `left` missing from `right` and those of `right` missing from
// `left`, each marked with the side it comes from; empty when both agree.
std::string LogLineDifferences(const std::vector<std::string>& left, const std::string& leftName,
                               const std::vector<std::string>& right, const std::string& rightName);

}  // namespace qvtest
