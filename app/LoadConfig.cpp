// The program's load configuration. Its one setting is DependentLoadFlags:
// Windows (from Windows 10 version 1607) then resolves the import table
// from the system folder only, never from the program's own folder, where
// a library planted under a system library's name would otherwise be loaded
// with administrator rights before the first line of the program runs.
// Older systems ignore the field. The linker points the image's load
// configuration entry at the object named _load_config_used.
#include <windows.h>

namespace {

constexpr IMAGE_LOAD_CONFIG_DIRECTORY MakeLoadConfig() {
    IMAGE_LOAD_CONFIG_DIRECTORY config = {};
    config.Size = sizeof(IMAGE_LOAD_CONFIG_DIRECTORY);
    // DependentLoadFlags, named Reserved1 in older headers.
    config.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;
    return config;
}

}  // namespace

extern "C" {
extern const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used;
constexpr IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = MakeLoadConfig();
}
