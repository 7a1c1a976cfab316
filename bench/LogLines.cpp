#include "bench/LogLines.h"

#include <algorithm>

#include "bench/TestFiles.h"

namespace qvtest {

std::vector<std::string> LogLinesWithOutcome(const std::wstring& path, const std::string& outcome) {
    std::vector<std::string> lines;
    const std::string text = ReadFileBytes(path);
    const std::string prefix = outcome + ": ";
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, prefix.size(), prefix) != 0) continue;
        // The subject ends at its closing quotation mark before the reason.
        const size_t reason = line.rfind("\" - error ");
        const size_t stop = reason == std::string::npos ? line.size() : reason + 1;
        lines.push_back(line.substr(prefix.size(), stop - prefix.size()));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string LogLineDifferences(const std::vector<std::string>& left, const std::string& leftName,
                               const std::vector<std::string>& right, const std::string& rightName) {
    std::string text;
    for (const std::string& line : left)
        if (!std::binary_search(right.begin(), right.end(), line)) text += "{" + leftName + " only: " + line + "} ";
    for (const std::string& line : right)
        if (!std::binary_search(left.begin(), left.end(), line)) text += "{" + rightName + " only: " + line + "} ";
    return text;
}

}  // namespace qvtest
