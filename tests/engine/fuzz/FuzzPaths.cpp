// Wildcard matching, backup naming and directory parts of arbitrary names.
#include "engine/Paths.h"
#include "tests/support/FuzzInput.h"

using namespace morvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const std::string_view pattern = input.part();
    const std::string_view name = input.rest();
    wildcardMatch(pattern, name);
    fuzz::check(wildcardMatch("*", name));
    if (name.find_first_of("*?") == std::string_view::npos)
        fuzz::check(wildcardMatch(name, name));
    const std::string dir = directoryPart(name);
    fuzz::check(name.starts_with(dir));
    const std::string backup = backupPathFor(name, pattern.substr(0, 4));
    fuzz::check(backup.starts_with(dir));
    return 0;
}
