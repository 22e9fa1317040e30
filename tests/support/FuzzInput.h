#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace morvex::fuzz {

/// Splits fuzzer bytes into parts: a leading byte says how long the next part is.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : m_rest(reinterpret_cast<const char*>(data), size) {}
    /// One byte (0 when none is left).
    unsigned char byte() {
        if (m_rest.empty())
            return 0;
        const unsigned char c = static_cast<unsigned char>(m_rest.front());
        m_rest.remove_prefix(1);
        return c;
    }
    /// A part of up to `scale` * 255 bytes, its length taken from the next byte.
    std::string_view part(std::size_t scale = 1) {
        const std::size_t want = byte() * scale; // before m_rest.size(): byte() shortens it
        const std::size_t n = std::min(m_rest.size(), want);
        const std::string_view p = m_rest.substr(0, n);
        m_rest.remove_prefix(n);
        return p;
    }
    std::string_view rest() const { return m_rest; }

private:
    std::string_view m_rest;
};

/// A broken invariant: stop loudly so the fuzzer keeps the input.
inline void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace morvex::fuzz
