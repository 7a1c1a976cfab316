#include "tools/hostile_run/Mutations.h"

#include <algorithm>

#include "bench/TestFiles.h"
#include "bench/TestRegistry.h"

using namespace std::string_literals;

namespace hostile {

namespace {

// ---------------------------------------------------------------------------
// The product's "InstallDir" (HKLM). Its fixed entries (uninstall.ini and the
// media databases) are formed from it, so every row that leads elsewhere must
// leave what lies there alone.
const ValueRow InstallDirRows[] = {
    {"dword-spelling-C:", REG_DWORD, Shape::FirstChars, L"C:", 4},
    {"qword-spelling-C:\\", REG_QWORD, Shape::FirstChars, L"C:\\", 8},
    {"binary-no-terminator", REG_BINARY, Shape::NoTerminator, L"{install}"},
    {"multi-sz-install-then-sibling", REG_MULTI_SZ, Shape::Multi, L"{install}\\|{sibling}\\"},
    {"expand-sz-unexpanded-variable", REG_EXPAND_SZ, Shape::Text, L"%ProgramFiles%\\Quorvex\\GlyphSmith Pro\\"},
    {"zero-bytes", REG_SZ, Shape::Empty, L""},
    {"only-terminator", REG_SZ, Shape::Text, L""},
    {"no-terminator", REG_SZ, Shape::NoTerminator, L"{install}"},
    {"odd-length", REG_SZ, Shape::OddLength, L"{install}\\"},
    {"exactly-258-bytes", REG_SZ, Shape::FillTo, L"{install}\\", 258},
    {"exactly-259-bytes", REG_SZ, Shape::FillTo, L"{install}\\", 259},
    {"exactly-260-bytes", REG_SZ, Shape::FillTo, L"{install}\\", 260},
    {"64-KiB", REG_SZ, Shape::FillTo, L"{install}\\", 65536},
    {"dots-to-sibling", REG_SZ, Shape::Text, L"{install}\\..\\GlyphSmith Pro\\"},
    {"dots-to-root", REG_SZ, Shape::Text, L"{install}\\..\\..\\..\\..\\"},
    {"dot-components", REG_SZ, Shape::Text, L"{install}\\.\\.\\"},
    {"forward-slashes", REG_SZ, Shape::Text, L"C:/Program Files/Quorvex/GlyphSmith/"},
    {"slashes-and-dots-to-sibling", REG_SZ, Shape::Text, L"{install}/../GlyphSmith Pro/"},
    {"wildcard-star", REG_SZ, Shape::Text, L"{quorvex}\\*\\"},
    {"wildcard-question-mark", REG_SZ, Shape::Text, L"{quorvex}\\GlyphSmith Pr?\\"},
    {"device-CON", REG_SZ, Shape::Text, L"CON"},
    {"device-CON-folder", REG_SZ, Shape::Text, L"CON\\"},
    {"device-volume-C:", REG_SZ, Shape::Text, L"\\\\.\\C:"},
    {"device-volume-C:\\", REG_SZ, Shape::Text, L"\\\\.\\C:\\"},
    {"long-path-root", REG_SZ, Shape::Text, L"\\\\?\\C:\\"},
    {"long-path-dots-to-sibling", REG_SZ, Shape::Text, L"\\\\?\\{install}\\..\\GlyphSmith Pro\\"},
    {"drive-C:", REG_SZ, Shape::Text, L"C:"},
    {"root-C:\\", REG_SZ, Shape::Text, L"C:\\"},
    {"share-root", REG_SZ, Shape::Text, L"\\\\server\\share"},
    {"share-root-backslash", REG_SZ, Shape::Text, L"\\\\server\\share\\"},
    {"single-backslash", REG_SZ, Shape::Text, L"\\"},
    {"relative-sibling", REG_SZ, Shape::Text, L"GlyphSmith Pro\\"},
    {"drive-relative-sibling", REG_SZ, Shape::Text, L"C:GlyphSmith Pro\\"},
    {"over-260-characters", REG_SZ, Shape::Text, L"{install}\\{pad:300}\\"},
    {"control-characters", REG_SZ, Shape::Text, L"{install}\x01\x1b\t\\"},
    {"lone-surrogate", REG_SZ, Shape::Text, L"{install}{lone}\\"},
    {"missing-folder", REG_SZ, Shape::Text, L"C:\\QvHostile\\Nowhere\\"},
    {"value-missing", REG_SZ, Shape::Absent, L""},
    {"link-below-install", REG_SZ, Shape::Text, L"{install}\\Linked\\", 0, LinkPlan::InstallFolderLink},
    {"install-folder-is-link", REG_SZ, Shape::Text, L"{quorvex}\\LinkedInstall\\", 0, LinkPlan::InstallDirIsLink},
};

// ---------------------------------------------------------------------------
// Values added to the product's "Files" list (HKLM) beside its own. None
// names a file outside the product plainly: each hides it behind a wrong
// type, dots, wildcards, a device or share form, a relative form, an
// over-long path or a link, which the removal must see through.
const ValueRow FilesRows[] = {
    {"dword", REG_DWORD, Shape::FirstChars, L"C:", 4},
    {"binary-naming-sibling-file", REG_BINARY, Shape::NoTerminator, L"{sibling}\\GlyphSmith.exe"},
    {"multi-sz-naming-sentinels", REG_MULTI_SZ, Shape::Multi, L"{sibling}\\GlyphSmith.exe|{target}\\GlyphSmith.exe"},
    {"expand-sz-unexpanded-root-file", REG_EXPAND_SZ, Shape::Text, L"%SystemDrive%\\uninstall.ini"},
    {"zero-bytes", REG_SZ, Shape::Empty, L""},
    {"only-terminator", REG_SZ, Shape::Text, L""},
    {"no-terminator-own-file", REG_SZ, Shape::NoTerminator, L"{install}\\QvCore.dll"},
    {"odd-length-own-file", REG_SZ, Shape::OddLength, L"{install}\\GlyphSmith.chm"},
    {"64-KiB", REG_SZ, Shape::FillTo, L"{install}\\", 65536},
    {"longest-value-name", REG_SZ, Shape::Text, L"{install}\\GlyphSmith.exe", 0, LinkPlan::None, L"{pad:16383}"},
    {"four-hundred-dword-values", REG_DWORD, Shape::ManyValues, L"Number", 400},
    {"dots-to-sibling-file", REG_SZ, Shape::Text, L"{install}\\..\\GlyphSmith Pro\\GlyphSmith.exe"},
    {"dots-to-parent-file", REG_SZ, Shape::Text, L"{install}\\..\\..\\in-parent.dat"},
    {"dots-to-root-file", REG_SZ, Shape::Text, L"{install}\\..\\..\\..\\uninstall.ini"},
    {"slashes-and-dots-to-sibling", REG_SZ, Shape::Text, L"{install}/../GlyphSmith Pro/GlyphSmith.exe"},
    {"mixed-separators-dots", REG_SZ, Shape::Text, L"{install}\\Plugins/../../GlyphSmith Pro\\GlyphSmith.exe"},
    {"forward-slashes-own-file", REG_SZ, Shape::Text, L"C:/Program Files/Quorvex/GlyphSmith/QvCore.dll"},
    {"wildcard-star-in-sibling", REG_SZ, Shape::Text, L"{sibling}\\*"},
    {"wildcard-exe-in-sibling", REG_SZ, Shape::Text, L"{sibling}\\*.exe"},
    {"wildcard-question-mark", REG_SZ, Shape::Text, L"{target}\\GlyphSmit?.exe"},
    {"wildcard-root-sentinels", REG_SZ, Shape::Text, L"C:\\QvSentinel-*.dat"},
    {"device-CON", REG_SZ, Shape::Text, L"CON"},
    {"device-CON-in-install", REG_SZ, Shape::Text, L"{install}\\CON"},
    {"device-LPT1-with-extension", REG_SZ, Shape::Text, L"{install}\\LPT1.dll"},
    {"device-volume-C:", REG_SZ, Shape::Text, L"\\\\.\\C:"},
    {"long-path-root", REG_SZ, Shape::Text, L"\\\\?\\C:\\"},
    {"long-path-dots-to-sibling", REG_SZ, Shape::Text, L"\\\\?\\{install}\\..\\GlyphSmith Pro\\GlyphSmith.exe"},
    {"device-path-dots-to-parent", REG_SZ, Shape::Text, L"\\\\.\\{install}\\..\\..\\in-parent.dat"},
    {"drive-C:", REG_SZ, Shape::Text, L"C:"},
    {"root-C:\\", REG_SZ, Shape::Text, L"C:\\"},
    {"share-root", REG_SZ, Shape::Text, L"\\\\server\\share"},
    {"share-file", REG_SZ, Shape::Text, L"\\\\server\\share\\GlyphSmith.exe"},
    {"sibling-folder", REG_SZ, Shape::Text, L"{sibling}"},
    {"sibling-folder-backslash", REG_SZ, Shape::Text, L"{sibling}\\"},
    {"over-260-characters", REG_SZ, Shape::Text, L"{install}\\{pad:300}\\x.dll"},
    {"over-260-with-dots-to-sibling", REG_SZ, Shape::Text,
     L"{install}\\{pad:200}\\..\\..\\GlyphSmith Pro\\GlyphSmith.exe"},
    {"relative-sibling-file", REG_SZ, Shape::Text, L"GlyphSmith Pro\\GlyphSmith.exe"},
    {"drive-relative-sibling-file", REG_SZ, Shape::Text, L"C:GlyphSmith Pro\\GlyphSmith.exe"},
    {"control-characters", REG_SZ, Shape::Text, L"{install}\\Qv\x01\x1b\x7f" L"Core.dll"},
    {"lone-surrogate", REG_SZ, Shape::Text, L"{install}\\{lone}.dll"},
    {"parent-is-link", REG_SZ, Shape::Text, L"{install}\\Linked\\GlyphSmith.exe", 0, LinkPlan::InstallFolderLink},
    {"grandparent-is-link", REG_SZ, Shape::Text, L"{install}\\Linked\\A\\preview1.png", 0,
     LinkPlan::InstallFolderLink},
    {"entry-is-folder-link", REG_SZ, Shape::Text, L"{install}\\Linked", 0, LinkPlan::InstallFolderLink},
    {"preview-parent-is-link", REG_SZ, Shape::Text, L"{previewparent}\\Linked\\Temporary Preview Files\\A\\preview1.png",
     0, LinkPlan::PreviewParentLink},
};

// ---------------------------------------------------------------------------
// The uninstall entry's "DisplayName" (HKLM): shown in the pages' texts.
const ValueRow DisplayNameRows[] = {
    {"dword", REG_DWORD, Shape::FirstChars, L"Qv", 4},
    {"binary-no-terminator", REG_BINARY, Shape::NoTerminator, L"Quorvex GlyphSmith"},
    {"multi-sz", REG_MULTI_SZ, Shape::Multi, L"Quorvex|GlyphSmith"},
    {"zero-bytes", REG_SZ, Shape::Empty, L""},
    {"no-terminator", REG_SZ, Shape::NoTerminator, L"Quorvex GlyphSmith"},
    {"odd-length", REG_SZ, Shape::OddLength, L"Quorvex GlyphSmith"},
    {"exactly-258-bytes", REG_SZ, Shape::FillTo, L"Quorvex ", 258},
    {"exactly-259-bytes", REG_SZ, Shape::FillTo, L"Quorvex ", 259},
    {"exactly-260-bytes", REG_SZ, Shape::FillTo, L"Quorvex ", 260},
    {"64-KiB", REG_SZ, Shape::FillTo, L"Quorvex ", 65536},
    {"control-characters", REG_SZ, Shape::Text, L"Quorvex\x01\x07\x1b\r\n\tGlyphSmith"},
    {"format-directives", REG_SZ, Shape::Text, L"%s%s%n%x%S%1!s!%%"},
    {"macro-names", REG_SZ, Shape::Text, L"{AppName}{ProgramFilesDir}{{{}}}"},
    {"unclosed-brace", REG_SZ, Shape::Text, L"Quorvex {AppNa"},
    {"lone-surrogate", REG_SZ, Shape::Text, L"Quorvex {lone} GlyphSmith"},
    {"ampersands", REG_SZ, Shape::Text, L"&&&&&&&&&&&&&&&&"},
    {"right-to-left-override", REG_SZ, Shape::Text, L"\x202e" L"exe.hsimShpylG"},
    {"just-under-limit", REG_SZ, Shape::Text, L"{pad:128}"},
    {"expand-sz-variable", REG_EXPAND_SZ, Shape::Text, L"%PATH%%PATH%%PATH%"},
    {"value-missing", REG_SZ, Shape::Absent, L""},
};

// ---------------------------------------------------------------------------
// HKCU "PreviewTempDir": any unelevated program may write it. The preview
// step empties the one-character subfolders of the folder it names.
const ValueRow PreviewDirRows[] = {
    {"dword-spelling-C:", REG_DWORD, Shape::FirstChars, L"C:", 4},
    {"qword-spelling-C:\\", REG_QWORD, Shape::FirstChars, L"C:\\", 8},
    {"binary-no-terminator", REG_BINARY, Shape::NoTerminator, L"{preview}"},
    {"multi-sz-root-first", REG_MULTI_SZ, Shape::Multi, L"C:\\|{preview}"},
    {"zero-bytes", REG_SZ, Shape::Empty, L""},
    {"no-terminator", REG_SZ, Shape::NoTerminator, L"{preview}"},
    {"odd-length", REG_SZ, Shape::OddLength, L"{preview}"},
    {"exactly-259-bytes", REG_SZ, Shape::FillTo, L"{preview}", 259},
    {"64-KiB", REG_SZ, Shape::FillTo, L"{preview}\\", 65536},
    {"dots-to-root", REG_SZ, Shape::Text, L"{preview}\\..\\..\\..\\..\\..\\..\\..\\..\\..\\.."},
    {"dots-from-root-folder", REG_SZ, Shape::Text, L"C:\\Q\\.."},
    {"dot-of-root", REG_SZ, Shape::Text, L"C:\\."},
    {"dots-back-to-itself", REG_SZ, Shape::Text, L"{preview}\\..\\Temporary Preview Files"},
    {"slashes-and-dots-to-root", REG_SZ, Shape::Text, L"{preview}/../../../../../../../../../.."},
    {"long-path-dots-to-root", REG_SZ, Shape::Text, L"\\\\?\\{preview}\\..\\..\\..\\..\\..\\..\\..\\..\\..\\.."},
    {"wildcard-star", REG_SZ, Shape::Text, L"{previewparent}\\*"},
    {"wildcard-root", REG_SZ, Shape::Text, L"C:\\*"},
    {"device-CON", REG_SZ, Shape::Text, L"CON"},
    {"device-volume-C:", REG_SZ, Shape::Text, L"\\\\.\\C:"},
    {"device-volume-C:\\", REG_SZ, Shape::Text, L"\\\\.\\C:\\"},
    {"long-path-root", REG_SZ, Shape::Text, L"\\\\?\\C:\\"},
    {"long-path-drive", REG_SZ, Shape::Text, L"\\\\?\\C:"},
    {"drive-C:", REG_SZ, Shape::Text, L"C:"},
    {"root-C:\\", REG_SZ, Shape::Text, L"C:\\"},
    {"share-root", REG_SZ, Shape::Text, L"\\\\server\\share"},
    {"single-backslash", REG_SZ, Shape::Text, L"\\"},
    {"relative", REG_SZ, Shape::Text, L"Temporary Preview Files"},
    {"over-260-characters", REG_SZ, Shape::Text, L"{preview}\\{pad:300}"},
    {"lone-surrogate", REG_SZ, Shape::Text, L"{preview}{lone}"},
    {"value-missing", REG_SZ, Shape::Absent, L""},
    {"parent-is-link", REG_SZ, Shape::Text, L"{previewparent}\\Linked\\Temporary Preview Files", 0,
     LinkPlan::PreviewParentLink},
    {"folder-is-link", REG_SZ, Shape::Text, L"{previewparent}\\LinkedPreview", 0, LinkPlan::PreviewIsLink},
    {"subfolder-is-link", REG_SZ, Shape::Text, L"{preview}", 0, LinkPlan::PreviewSubfolderLink},
};

// ---------------------------------------------------------------------------
// Things planted around the installation: a command that the command
// interpreter would run before the self-deletion batch, a file already at the
// batch's name, registry links in the per-user product key that the removal
// deletes (at its top, below a subkey, as a leaf, into HKLM), and listed
// files that are hard links to read-only files outside the product.
const PlantedRow PlantedRows[] = {
    // A command of its own, not "cmd /c ...": the interpreter would run
    // AutoRun again for the one it starts.
    {"autorun", Plant::AutoRun, L"echo x> C:\\QvHostile\\AutoRunRan.txt", REG_SZ},
    {"autorun-expand-sz", Plant::AutoRun, L"echo x> %SystemDrive%\\QvHostile\\AutoRunRan.txt", REG_EXPAND_SZ},
    {"writable-batch-name", Plant::BatchName},
    {"read-only-batch-name", Plant::BatchName, L"", FILE_ATTRIBUTE_READONLY},
    {"batch-name-is-hard-link", Plant::BatchNameHardLink},
    {"registry-link-is-product-key", Plant::RegistryLink, L"", 0, HKEY_CURRENT_USER, L"Software\\QvHostileTarget"},
    {"registry-link-in-product-key", Plant::RegistryLink, L"\\Settings\\Linked", 0, HKEY_CURRENT_USER,
     L"Software\\QvHostileTarget\\Settings"},
    {"registry-link-as-leaf-key", Plant::RegistryLink, L"\\Settings\\Window\\Linked", 0, HKEY_CURRENT_USER,
     L"Software\\QvHostileTarget"},
    {"registry-link-to-machine-key", Plant::RegistryLink, L"\\Linked", 0, HKEY_LOCAL_MACHINE,
     L"SOFTWARE\\QvHostileTarget"},
    {"hard-link-among-listed-files", Plant::ListedFileHardLinks, L"QvCore.dll|Languages\\de-DE\\strings.qvl"},
};

// ---------------------------------------------------------------------------
// "uninstall.ini" beside the program: any unelevated program may write it.
const std::string SampleIni = "[uninstall]\r\nargs={args}\r\nrepair={repair}\r\n";

const IniRow IniRows[] = {
    {"empty-file", Encoding::Bytes, ""},
    {"no-section", Encoding::Bytes, "args={args}\r\nrepair={repair}\r\n"},
    {"huge-file", Encoding::Bytes, "[junk]\r\n{junk:4000000}" + SampleIni},
    {"64-KiB-args-line", Encoding::Bytes, "[uninstall]\r\nargs={args}{pad:65536}\r\nrepair={repair}\r\n"},
    {"64-KiB-line-before-args", Encoding::Bytes, "[uninstall]\r\nx={pad:65536}\r\nargs={args}\r\n"},
    {"64-KiB-line-without-newline", Encoding::Bytes, "[uninstall]\r\nargs={pad:65536}"},
    {"64-KiB-of-quotes", Encoding::Bytes, "[uninstall]\r\nargs={quotes:65536}\r\n"},
    {"0-quotes", Encoding::Bytes, "[uninstall]\r\nargs=GlyphSmith 6 GlyphSmith.exe\r\n"},
    {"1-quote", Encoding::Bytes, "[uninstall]\r\nargs=\"GlyphSmith 6 GlyphSmith.exe\r\n"},
    {"2-quotes", Encoding::Bytes, "[uninstall]\r\nargs=\"GlyphSmith 6\" GlyphSmith.exe\r\n"},
    {"3-quotes", Encoding::Bytes, "[uninstall]\r\nargs=\"GlyphSmith 6\" \"GlyphSmith.exe\r\n"},
    {"4-quotes-only", Encoding::Bytes, "[uninstall]\r\nargs=\"\"\"\"\r\n"},
    {"5-quotes", Encoding::Bytes, "[uninstall]\r\nargs=\"GlyphSmith 6\" \"GlyphSmith.exe\"\"\r\n"},
    {"6-quotes-only", Encoding::Bytes, "[uninstall]\r\nargs=\"\"\"\"\"\"\r\n"},
    {"6-quotes-extra-field", Encoding::Bytes, "[uninstall]\r\nargs=\"GlyphSmith 6\" \"GlyphSmith.exe\" \"x\"\r\n"},
    {"control-characters", Encoding::Bytes,
     "[uninstall]\r\nargs=\"GlyphSmith 6\x01\" \"Glyph\x1bSmith.exe\"\x7f\r\nrepair=\x08\x07\r\n"},
    {"nul-bytes", Encoding::Bytes, "[uninstall]\r\nargs=\"GlyphSmith 6\"\0\"GlyphSmith.exe\"\r\n\0\0repair=\0\r\n"s},
    {"every-byte-value", Encoding::Bytes, "[uninstall]\r\nargs={allbytes}\r\nrepair={allbytes}\r\n"},
    {"carriage-returns-only", Encoding::Bytes, "[uninstall]\rargs={args}\rrepair={repair}\r"},
    {"invalid-utf8", Encoding::Bytes, "[uninstall]\r\nargs=\"GlyphSmith 6\xff\xfe\" \"\xc0\xaf.exe\"\r\n"},
    {"utf8-encoded-lone-surrogate", Encoding::Bytes, "[uninstall]\r\nargs=\"GlyphSmith{lone}\" \"{lone}.exe\"\r\n"},
    {"utf16-with-bom", Encoding::Utf16, SampleIni},
    {"utf16-lone-surrogate-in-key", Encoding::Utf16, "[uninstall]\r\nargs=\"GlyphSmith 6{lone}\" \"GlyphSmith.exe\"\r\n"},
    {"utf16-lone-surrogates-everywhere", Encoding::Utf16, "[un{lone}install]\r\n{lone}args={lone}\"{lone}\"\"\"\"\r\n"},
    {"utf16-odd-byte-count", Encoding::Utf16OddByte, SampleIni},
    {"key-empty", Encoding::Bytes, "[uninstall]\r\nargs=\"\" \"GlyphSmith.exe\"\r\n"},
    {"key-dots-other", Encoding::Bytes, "[uninstall]\r\nargs=\"..\\Other\" \"Other.exe\"\r\n"},
    {"key-single-dot", Encoding::Bytes, "[uninstall]\r\nargs=\".\" \"GlyphSmith.exe\"\r\n"},
    {"key-trailing-backslash", Encoding::Bytes, "[uninstall]\r\nargs=\"GlyphSmith 6\\\" \"GlyphSmith.exe\"\r\n"},
    {"key-leading-backslash", Encoding::Bytes, "[uninstall]\r\nargs=\"\\GlyphSmith 6\" \"GlyphSmith.exe\"\r\n"},
    {"key-and-program-backslash", Encoding::Bytes, "[uninstall]\r\nargs=\"\\\" \"\\\"\r\n"},
    {"key-dots-to-sibling", Encoding::Bytes, "[uninstall]\r\nargs=\"GlyphSmith 6\\..\\GlyphSmith Pro\" \"GlyphSmith.exe\"\r\n"},
    {"program-dots-to-sibling-entry", Encoding::Bytes,
     "[uninstall]\r\nargs=\"GlyphSmith 6\" \"..\\..\\Uninstall\\GlyphSmith Pro (64-bit)\"\r\n"},
    {"program-empty", Encoding::Bytes, "[uninstall]\r\nargs=\"GlyphSmith 6\" \"\"\r\n"},
    {"key-190-characters", Encoding::Bytes, "[uninstall]\r\nargs=\"{pad:190}\" \"x.exe\"\r\n"},
    {"key-300-characters", Encoding::Bytes, "[uninstall]\r\nargs=\"{pad:300}\" \"x.exe\"\r\n"},
    {"program-260-characters", Encoding::Bytes, "[uninstall]\r\nargs=\"GlyphSmith 6\" \"{pad:260}\"\r\n"},
    {"repair-empty", Encoding::Bytes, "[uninstall]\r\nargs={args}\r\nrepair=\r\n"},
    {"repair-300-characters", Encoding::Bytes, "[uninstall]\r\nargs={args}\r\nrepair=C:\\{pad:300}.exe\r\n"},
    {"repair-quotes", Encoding::Bytes, "[uninstall]\r\nargs={args}\r\nrepair=\"\"\"C:\\x.exe\" -y \"\"\r\n"},
    {"repair-format-directives", Encoding::Bytes, "[uninstall]\r\nargs={args}\r\nrepair=%s%s%n%n%1\r\n"},
    {"repair-device", Encoding::Bytes, "[uninstall]\r\nargs={args}\r\nrepair=\\\\.\\C:\r\n"},
    {"repair-share", Encoding::Bytes, "[uninstall]\r\nargs={args}\r\nrepair=\\\\server\\share\\Setup.exe\r\n"},
    {"duplicate-sections", Encoding::Bytes,
     "[uninstall]\r\nargs=\"Nothing\" \"x.exe\"\r\n[uninstall]\r\nargs={args}\r\nargs=\"Other\" \"y.exe\"\r\n"},
    {"spaces-around-names", Encoding::Bytes, "[ uninstall ]\r\n  args  =  {args}  \r\n"},
    {"settings-file-is-folder", Encoding::Folder, ""},
};

template <typename Row, size_t N>
constexpr size_t CountOf(const Row (&)[N]) {
    return N;
}

const Input AllInputs[] = {Input::Ini,         Input::InstallDir, Input::Files,
                           Input::DisplayName, Input::PreviewDir, Input::Planted};

size_t RowCount(Input input) {
    switch (input) {
        case Input::Ini: return CountOf(IniRows);
        case Input::InstallDir: return CountOf(InstallDirRows);
        case Input::Files: return CountOf(FilesRows);
        case Input::DisplayName: return CountOf(DisplayNameRows);
        case Input::PreviewDir: return CountOf(PreviewDirRows);
        case Input::Planted: return CountOf(PlantedRows);
    }
    return 0;
}

const char* InputName(Input input) {
    switch (input) {
        case Input::Ini: return "uninstall.ini";
        case Input::InstallDir: return "InstallDir";
        case Input::Files: return "Files";
        case Input::DisplayName: return "DisplayName";
        case Input::PreviewDir: return "PreviewTempDir";
        case Input::Planted: return "Planted";
    }
    return "?";
}

const ValueRow& ValueRowOf(const Mutation& m) {
    switch (m.input) {
        case Input::InstallDir: return InstallDirRows[m.row];
        case Input::Files: return FilesRows[m.row];
        case Input::DisplayName: return DisplayNameRows[m.row];
        default: return PreviewDirRows[m.row];
    }
}

LinkPlan LinkPlanOf(const Mutation& m) {
    return m.input == Input::Ini || m.input == Input::Planted ? LinkPlan::None : ValueRowOf(m).link;
}

// A number from 0 to count - 1. Plain modulo, so that the i686 and the
// x86_64 build (whose distributions could differ with the width of size_t)
// draw the same cases from the same seed.
size_t Draw(std::mt19937& random, size_t count) { return static_cast<size_t>(random() % count); }

std::wstring Repeated(wchar_t ch, size_t count) { return std::wstring(count, ch); }

// About `bytes` bytes of settings lines, "junk0000001=...".
std::wstring JunkLines(size_t bytes) {
    std::wstring out;
    for (size_t n = 0; out.size() < bytes; ++n) {
        wchar_t line[64];
        wsprintfW(line, L"junk%07u=value of line %u\r\n", static_cast<unsigned>(n), static_cast<unsigned>(n));
        out += line;
    }
    return out;
}

// The data of a registry row as bytes.
std::string DataOf(const ValueRow& row, const Places& places) {
    std::wstring text = Expand(row.text, places);
    const auto bytesOf = [](const std::wstring& w, size_t count) {
        return std::string(reinterpret_cast<const char*>(w.data()), count);
    };
    switch (row.shape) {
        case Shape::Text: return bytesOf(text + L'\0', (text.size() + 1) * 2);
        case Shape::NoTerminator: return bytesOf(text, text.size() * 2);
        case Shape::OddLength: return bytesOf(text, text.empty() ? 0 : text.size() * 2 - 1);
        case Shape::FillTo:
            if (text.size() * 2 < row.bytes) text += Repeated(L'a', (row.bytes + 1) / 2 - text.size());
            return bytesOf(text, row.bytes);
        case Shape::Multi:
            std::replace(text.begin(), text.end(), L'|', L'\0');
            text += std::wstring(2, L'\0');
            return bytesOf(text, text.size() * 2);
        case Shape::FirstChars:
            text.resize((row.bytes + 1) / 2, L'\0');
            return bytesOf(text, row.bytes);
        default: return std::string();
    }
}

bool WriteValue(HKEY root, const std::wstring& key, const std::wstring& name, const ValueRow& row,
                const Places& places) {
    using qvtest::SetRegValue;
    if (row.shape == Shape::Absent) {
        HKEY handle = nullptr;
        if (RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &handle) == ERROR_SUCCESS) {
            RegDeleteValueW(handle, name.c_str());
            RegCloseKey(handle);
        }
        return true;
    }
    if (row.shape == Shape::ManyValues) {
        for (DWORD n = 0; n < row.bytes; ++n) {
            const DWORD number = n;
            if (!SetRegValue(root, key, row.text + std::to_wstring(n), REG_DWORD, &number, sizeof(number)))
                return false;
        }
        return true;
    }
    const std::string data = DataOf(row, places);
    return SetRegValue(root, key, name, row.type, data.data(), static_cast<DWORD>(data.size()));
}

// The settings file's bytes in the row's encoding.
std::string EncodedIni(const IniRow& row, const Places& places) {
    std::wstring widened;
    for (unsigned char byte : row.text) widened += static_cast<wchar_t>(byte);
    const std::wstring text = Expand(widened, places);
    std::string out;
    if (row.encoding == Encoding::Bytes) {
        for (wchar_t ch : text) {
            if (ch == 0xD800)
                out += "\xED\xA0\x80";
            else
                out += static_cast<char>(ch < 0x100 ? ch : '?');
        }
        return out;
    }
    out = "\xFF\xFE";
    for (wchar_t ch : text) {
        out += static_cast<char>(ch & 0xFF);
        out += static_cast<char>((ch >> 8) & 0xFF);
    }
    if (row.encoding == Encoding::Utf16OddByte) out.pop_back();
    return out;
}

bool ApplyIni(const IniRow& row, const Places& places, std::wstring* error) {
    const std::wstring path = places.install + L"\\uninstall.ini";
    if (row.encoding == Encoding::Folder) {
        // A folder takes the file's place.
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        if (!CreateDirectoryW(path.c_str(), nullptr)) {
            if (error) *error = L"cannot make the folder " + path;
            return false;
        }
        return true;
    }
    if (!qvtest::WriteFileBytes(path, EncodedIni(row, places))) {
        if (error) *error = L"cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

std::wstring Expand(const std::wstring& text, const Places& places) {
    const std::pair<const wchar_t*, const std::wstring*> named[] = {
        {L"install", &places.install},   {L"quorvex", &places.quorvex},
        {L"sibling", &places.sibling},   {L"preview", &places.preview},
        {L"previewparent", &places.previewParent}, {L"target", &places.target},
        {L"repair", &places.repair},     {L"args", &places.args},
    };
    std::wstring out;
    size_t position = 0;
    while (position < text.size()) {
        const size_t open = text.find(L'{', position);
        const size_t close = open == std::wstring::npos ? open : text.find(L'}', open);
        if (close == std::wstring::npos) {
            out += text.substr(position);
            break;
        }
        out += text.substr(position, open - position);
        const std::wstring name = text.substr(open + 1, close - open - 1);
        const size_t colon = name.find(L':');
        const std::wstring word = name.substr(0, colon);
        const size_t number = colon == std::wstring::npos ? 0 : std::wcstoul(name.c_str() + colon + 1, nullptr, 10);
        bool known = true;
        if (word == L"pad")
            out += Repeated(L'a', number);
        else if (word == L"quotes")
            out += Repeated(L'"', number);
        else if (word == L"junk")
            out += JunkLines(number);
        else if (word == L"lone")
            out += static_cast<wchar_t>(0xD800);
        else if (word == L"allbytes") {
            for (wchar_t ch = 1; ch < 0x100; ++ch) out += ch;
        } else {
            known = false;
            for (const auto& place : named)
                if (name == place.first) {
                    out += *place.second;
                    known = true;
                }
        }
        // Anything else in braces ("{AppName}") is data and stays as it is.
        if (!known) out += L'{' + name + L'}';
        position = close + 1;
    }
    return out;
}

std::vector<Mutation> ChooseMutations(std::mt19937& random) {
    const size_t count = 1 + Draw(random, 3);
    std::vector<Mutation> chosen;
    while (chosen.size() < count) {
        const Input input = AllInputs[Draw(random, CountOf(AllInputs))];
        const size_t row = Draw(random, RowCount(input));
        const bool taken = std::any_of(chosen.begin(), chosen.end(), [&](const Mutation& m) {
            return m.input == input && (input != Input::Files || m.row == row);
        });
        if (!taken) chosen.push_back({input, row});
    }
    return chosen;
}

std::string Describe(const std::vector<Mutation>& mutations) {
    std::string text;
    for (const Mutation& m : mutations) {
        if (!text.empty()) text += ", ";
        text += InputName(m.input);
        text += ':';
        text += m.input == Input::Ini       ? IniRows[m.row].label
                : m.input == Input::Planted ? PlantedRows[m.row].label
                                            : ValueRowOf(m).label;
    }
    return text;
}

bool FindMutation(const std::string& name, Mutation& mutation) {
    for (const Input input : AllInputs)
        for (size_t row = 0; row < RowCount(input); ++row)
            if (Describe({{input, row}}) == name) {
                mutation = {input, row};
                return true;
            }
    return false;
}

const PlantedRow* PlantedRowOf(const Mutation& mutation) {
    return mutation.input == Input::Planted ? &PlantedRows[mutation.row] : nullptr;
}

std::vector<Mutation> EveryPlantedMutation() {
    std::vector<Mutation> all;
    for (size_t row = 0; row < CountOf(PlantedRows); ++row) all.push_back({Input::Planted, row});
    return all;
}

std::vector<Mutation> EveryLinkMutation() {
    std::vector<Mutation> all;
    for (const Input input : AllInputs)
        for (size_t row = 0; row < RowCount(input); ++row)
            if (LinkPlanOf({input, row}) != LinkPlan::None) all.push_back({input, row});
    return all;
}

std::vector<std::pair<std::wstring, std::wstring>> LinksOf(const std::vector<Mutation>& mutations,
                                                           const Places& places) {
    std::vector<std::pair<std::wstring, std::wstring>> links;
    const auto add = [&](const std::wstring& link, const std::wstring& target) {
        const std::pair<std::wstring, std::wstring> pair(link, target);
        if (std::find(links.begin(), links.end(), pair) == links.end()) links.push_back(pair);
    };
    for (const Mutation& m : mutations) {
        switch (LinkPlanOf(m)) {
            case LinkPlan::None: break;
            case LinkPlan::InstallFolderLink: add(places.install + L"\\Linked", places.target); break;
            case LinkPlan::InstallDirIsLink: add(places.quorvex + L"\\LinkedInstall", places.target); break;
            case LinkPlan::PreviewParentLink: add(places.previewParent + L"\\Linked", places.target); break;
            case LinkPlan::PreviewIsLink:
                add(places.previewParent + L"\\LinkedPreview", places.target + L"\\Temporary Preview Files");
                break;
            case LinkPlan::PreviewSubfolderLink: add(places.preview + L"\\B", places.target + L"\\A"); break;
        }
    }
    return links;
}

bool ApplyMutations(const std::vector<Mutation>& mutations, const Places& places, std::wstring* error) {
    int filesAdded = 0;
    for (const Mutation& m : mutations) {
        bool written = true;
        switch (m.input) {
            case Input::Ini:
                if (!ApplyIni(IniRows[m.row], places, error)) return false;
                continue;
            case Input::Planted: continue;  // planted by the caller
            case Input::InstallDir:
                written = WriteValue(HKEY_LOCAL_MACHINE, places.productKey, L"InstallDir", ValueRowOf(m), places);
                break;
            case Input::Files: {
                const ValueRow& row = ValueRowOf(m);
                const std::wstring name =
                    row.valueName ? Expand(row.valueName, places) : L"Hostile" + std::to_wstring(++filesAdded);
                written = WriteValue(HKEY_LOCAL_MACHINE, places.productKey + L"\\Files", name, row, places);
                break;
            }
            case Input::DisplayName:
                written = WriteValue(HKEY_LOCAL_MACHINE, places.uninstallEntry, L"DisplayName", ValueRowOf(m), places);
                break;
            case Input::PreviewDir:
                written = WriteValue(HKEY_CURRENT_USER, places.foldersKey, L"PreviewTempDir", ValueRowOf(m), places);
                break;
        }
        if (!written) {
            if (error) *error = L"cannot write the registry value of " + qvtest::Widen(Describe({m}));
            return false;
        }
    }
    return true;
}

}  // namespace hostile
