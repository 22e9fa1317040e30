#include "engine/TextStream.h"

#include "engine/Sys.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace morvex {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kCtrlZ = 0x1A;

bool isSpecial(char c) {
    return c == kLf || c == kCr || c == kCtrlZ;
}

} // namespace

long FdSource::read(char* data, std::size_t size) {
    for (;;) {
        const ssize_t n = sys::calls().read(m_fd, data, size);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno != EINTR)
            return -1;
    }
}

bool FdSink::write(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = sys::calls().write(m_fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

long MemorySource::read(char* data, std::size_t size) {
    const std::size_t n = std::min(size, m_data.size());
    std::memcpy(data, m_data.data(), n);
    m_data.remove_prefix(n);
    return static_cast<long>(n);
}

bool StringSink::write(const char* data, std::size_t size) {
    m_target.append(data, size);
    return true;
}

TextReader::TextReader(ByteSource& source, std::size_t bufferSize)
    : m_source(source)
    , m_buffer(new char[std::max<std::size_t>(bufferSize, 1)])
    , m_capacity(std::max<std::size_t>(bufferSize, 1)) {}

bool TextReader::fill() {
    if (m_done)
        return false;
    const long n = m_source.read(m_buffer.get(), m_capacity);
    if (n <= 0) {
        m_failed = n < 0;
        m_done = true;
        return false;
    }
    m_pos = 0;
    m_end = static_cast<std::size_t>(n);
    return true;
}

int TextReader::get() {
    for (;;) {
        if (m_pos == m_end && !fill())
            return -1;
        const char c = m_buffer[m_pos++];
        if (c == kCr)
            continue;
        if (c == kCtrlZ) {
            m_done = true;
            m_pos = m_end;
            return -1;
        }
        return static_cast<unsigned char>(c);
    }
}

bool TextReader::copyLine(TextWriter& out) {
    for (;;) {
        if (m_pos == m_end && !fill())
            return false;
        const char* data = m_buffer.get();
        std::size_t i = m_pos;
        while (i < m_end && !isSpecial(data[i]))
            ++i;
        out.append(data + m_pos, i - m_pos);
        m_pos = i;
        if (i == m_end)
            continue;
        const char c = data[m_pos++];
        if (c == kLf) {
            out.append("\r\n", 2);
            return true;
        }
        if (c == kCtrlZ) {
            m_done = true;
            m_pos = m_end;
            return false;
        }
    }
}

bool TextReader::readLine(std::string& line) {
    line.clear();
    for (;;) {
        if (m_pos == m_end && !fill())
            return false;
        const char* data = m_buffer.get();
        std::size_t i = m_pos;
        while (i < m_end && !isSpecial(data[i]))
            ++i;
        line.append(data + m_pos, i - m_pos);
        m_pos = i;
        if (i == m_end)
            continue;
        const char c = data[m_pos++];
        if (c == kLf)
            return true;
        if (c == kCtrlZ) {
            m_done = true;
            m_pos = m_end;
            return false;
        }
    }
}

void TextReader::copyAll(TextWriter& out) {
    while (copyLine(out) && !out.failed()) {
    }
}

TextWriter::TextWriter(ByteSink& sink, std::size_t bufferSize)
    : m_sink(sink)
    , m_buffer(new char[std::max<std::size_t>(bufferSize, 2)])
    , m_capacity(std::max<std::size_t>(bufferSize, 2)) {}

TextWriter::~TextWriter() = default;

void TextWriter::drain() {
    if (m_size > 0 && !m_failed && !m_sink.write(m_buffer.get(), m_size))
        m_failed = true;
    m_size = 0;
}

void TextWriter::append(const char* data, std::size_t size) {
    while (size > 0) {
        if (m_size == m_capacity)
            drain();
        const std::size_t n = std::min(size, m_capacity - m_size);
        std::memcpy(m_buffer.get() + m_size, data, n);
        m_size += n;
        data += n;
        size -= n;
    }
}

void TextWriter::put(char c) {
    if (c == kLf)
        append("\r\n", 2);
    else
        append(&c, 1);
}

void TextWriter::write(std::string_view text) {
    while (!text.empty()) {
        const std::size_t lf = text.find(kLf);
        if (lf == std::string_view::npos) {
            append(text.data(), text.size());
            return;
        }
        append(text.data(), lf);
        append("\r\n", 2);
        text.remove_prefix(lf + 1);
    }
}

bool TextWriter::flush() {
    drain();
    return !m_failed;
}

} // namespace morvex
