// Wildcard matching, backup naming and directory parts of arbitrary names.
#include "engine/Paths.h"
#include "support/FuzzInput.h"

using namespace morvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const std::string_view pattern = input.part();
    const std::string_view name = input.rest();
    WildcardMatch(pattern, name);
    fuzz::check(WildcardMatch("*", name));
    if (name.find_first_of("*?") == std::string_view::npos)
        fuzz::check(WildcardMatch(name, name));
    const std::string dir = DirectoryPart(name);
    fuzz::check(name.starts_with(dir));
    const std::string backup = BackupPath(name, pattern.substr(0, 4));
    fuzz::check(backup.starts_with(dir));
    return 0;
}
