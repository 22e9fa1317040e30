// The no-repeat state parser on arbitrary text, and a draw from whatever it accepts.
#include "engine/Rounds.h"
#include "tests/support/FuzzInput.h"

#include <string>

using namespace morvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const unsigned char flags = input.byte();
    const EntryKind kind = flags & 1 ? EntryKind::Header : EntryKind::Footer;
    // Each byte of the next part makes one pool line, eligible when its low bit is set.
    Pool pool;
    for (const char c : input.part())
        pool.push_back(c & 1 ? "e" + std::to_string(pool.size()) : std::string(";"));
    const RoundKey key = RoundKey::of(kind, pool);
    // Most inputs get the pool's own first lines, so that the parser is tried past them.
    std::string text;
    if (flags & 2) {
        const std::string name = key.fileName();
        text = "morvex-round 1\n" + name.substr(0, 6) + " " + name.substr(7, 16) + " " +
               std::to_string(pool.size()) + "\n";
    }
    text += input.rest();
    std::optional<Round> round = parseRound(text, key);
    if (!round)
        return 0;
    // Only the one canonical text of a round is accepted.
    fuzz::check(formatRound(key, *round) == text);
    DrawGenerator generator;
    generator.seed(flags);
    const std::optional<std::size_t> chosen = drawInRound(key, *round, generator);
    fuzz::check(!chosen || (key.eligible[*chosen] && round->drawn[*chosen]));
    return 0;
}
