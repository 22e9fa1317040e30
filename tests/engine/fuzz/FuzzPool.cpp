// Loading list text into a pool, and drawing from it.
#include "engine/Engine.h"
#include "engine/TextStream.h"
#include "tests/support/FuzzInput.h"

using namespace morvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const std::size_t buffer = 1 + input.byte() % 32;
    DrawGenerator generator;
    generator.seed(input.byte());
    Pool pool;
    MemorySource source(input.rest());
    TextReader in(source, buffer);
    loadPoolLines(in, pool);
    for (const std::string& line : pool)
        fuzz::check(line.find_first_of("\r\n\x1A") == std::string::npos);
    for (int i = 0; i < 8; ++i) {
        const auto entry = DrawEntry(pool, generator);
        fuzz::check(!entry || isEligible(*entry));
    }
    return 0;
}
