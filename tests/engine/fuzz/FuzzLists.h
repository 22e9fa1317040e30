// List text from fuzzer bytes, loaded as a pass loads a list file.
#pragma once

#include "engine/Engine.h"
#include "engine/TextStream.h"

#include <string_view>

namespace morvex::fuzz {

/// The pool a list file holding `text` gives, read through a buffer of `buffer` bytes.
inline Pool poolFrom(std::string_view text, std::size_t buffer) {
    Pool pool;
    MemorySource source(text);
    TextReader in(source, buffer);
    LoadPoolLines(in, pool);
    return pool;
}

} // namespace morvex::fuzz
