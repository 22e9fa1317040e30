// What morvex-convert writes: result lines, error lines and the names in them.
#include "cli/Modes.h"

#include <cstdio>

namespace morvex::cli {

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void printError(const std::string& text, const std::string& caption) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), escaped(text).c_str());
}

void applySeed(ConvEngine& engine, std::optional<std::uint32_t> seed) {
    if (seed)
        engine.setClock([value = *seed] { return value; });
}

} // namespace morvex::cli
