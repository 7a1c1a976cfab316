#include "bench/PlantedLinks.h"

#include <windows.h>

#include <cstdlib>

#include "bench/Driver.h"
#include "bench/TestFiles.h"

namespace qvtest {

namespace {

const wchar_t RequestFolder[] = L"C:\\QvLinkRequests";

bool Request(const std::wstring& link, const std::wstring& target) {
    if (!LinksCanBePlanted()) return false;
    static int number = 0;
    const std::wstring base = std::wstring(RequestFolder) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++number);
    const std::wstring answer = base + L".done";
    DeleteFileW(answer.c_str());
    if (!WriteFileBytes(base + L".new", "link\n" + Narrow(link) + "\n" + Narrow(target) + "\n"))
        return false;
    // Renamed into place whole, so the planter never reads half a request.
    if (!MoveFileW((base + L".new").c_str(), (base + L".req").c_str())) return false;
    if (!WaitUntil([&] { return PathExists(answer); })) return false;
    const std::string reply = ReadFileBytes(answer);
    DeleteFileW(answer.c_str());
    return reply == "ok\n";
}

}  // namespace

bool LinksCanBePlanted() {
    const char* planter = std::getenv("QV_LINK_PLANTER");
    return planter && planter[0] == '1' && IsFolder(RequestFolder);
}

bool PlantLink(const std::wstring& link, const std::wstring& target) { return Request(link, target); }

}  // namespace qvtest
