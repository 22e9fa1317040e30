// A pass's values and lists from fuzzer bytes, read as the byte-loop targets all read them.
#pragma once

#include "engine/Engine.h"
#include "engine/TextStream.h"
#include "tests/support/FuzzInput.h"

#include <string_view>

namespace morvex::fuzz {

/// The pool a list file holding `text` gives, read through a buffer of `buffer` bytes.
inline Pool poolFrom(std::string_view text, std::size_t buffer) {
    Pool pool;
    MemorySource source(text);
    TextReader in(source, buffer);
    loadPoolLines(in, pool);
    return pool;
}

/// The markers and the footer alignment, from the next three bytes; UTF-8 takes ASCII markers.
inline ConvSettings passValuesFrom(FuzzInput& input,
                                   TextEncoding encoding = TextEncoding::ShiftJis) {
    const unsigned char markerBits = encoding == TextEncoding::Utf8 ? 0x7F : 0xFF;
    ConvSettings s;
    s.encoding = encoding;
    s.footerMarker = input.byte() & markerBits;
    s.headerMarker = input.byte() & markerBits;
    const unsigned char align = input.byte();
    s.alignFooters = align & 1;
    s.alignColumn = align >> 1;
    return s;
}

} // namespace morvex::fuzz
