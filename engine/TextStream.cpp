#include "engine/TextStream.h"

#include "engine/detail/Sys.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace morvex {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kCtrlZ = 0x1A;

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

long FdSource::peek(char* data, std::size_t size, off_t ahead) {
    const off_t at = sys::calls().lseek(m_fd, 0, SEEK_CUR);
    if (at < 0)
        return -1;
    for (;;) {
        const ssize_t n = sys::calls().pread(m_fd, data, size, at + ahead);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno != EINTR)
            return -1;
    }
}

bool FdSink::write(const char* data, std::size_t size) {
    constexpr off_t kWriteBehindStep = 8 * 1024 * 1024;
    m_written += static_cast<off_t>(size);
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
    if (m_writeBehind && m_written - m_started >= kWriteBehindStep) {
        // On Linux this starts write-back of the range without waiting for it.
        sys::calls().dropCache(m_fd, m_started, m_written - m_started);
        m_started = m_written;
    }
    return true;
}

bool FileCompareSink::write(const char* data, std::size_t size) {
    constexpr std::size_t kBlock = 256 * 1024;
    if (!m_matching)
        return true;
    if (static_cast<off_t>(size) > m_size - m_offset) {
        m_matching = false;
        return true;
    }
    if (!m_block)
        m_block.reset(new char[kBlock]);
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = sys::calls().pread(m_fd, m_block.get(), std::min(kBlock, size - done),
                                             m_offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        // A read error or a file cut meanwhile: not the same, which only costs a rewrite.
        if (n <= 0 || std::memcmp(m_block.get(), data + done, static_cast<std::size_t>(n)) != 0) {
            m_matching = false;
            return true;
        }
        done += static_cast<std::size_t>(n);
    }
    m_offset += static_cast<off_t>(size);
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
    if (m_end > 0)
        m_tailCr = m_buffer[m_end - 1] == kCr;
    const long n = m_source.read(m_buffer.get(), m_capacity);
    if (n <= 0) {
        m_failed = n < 0;
        m_done = true;
        return false;
    }
    m_pos = 0;
    m_end = static_cast<std::size_t>(n);
    if (m_tap)
        m_tap->feed(std::string_view(m_buffer.get(), m_end));
    if (m_binary)
        return true;
    // A Ctrl-Z ends the input: the buffer stops there and nothing more is read.
    if (const void* z = std::memchr(m_buffer.get(), kCtrlZ, m_end)) {
        m_end = static_cast<std::size_t>(static_cast<const char*>(z) - m_buffer.get());
        m_done = true;
    }
    return m_end > 0; // a buffer that starts with Ctrl-Z holds nothing
}

// Keeps the unread bytes and reads more after them, growing the buffer when it is full.
bool TextReader::readMore() {
    if (m_done)
        return false;
    char* data = m_buffer.get();
    if (m_pos > 0) {
        m_tailCr = data[m_pos - 1] == kCr;
        std::memmove(data, data + m_pos, m_end - m_pos);
        m_end -= m_pos;
        m_pos = 0;
    }
    if (m_end == m_capacity) {
        std::unique_ptr<char[]> bigger(new char[m_capacity * 2]);
        std::memcpy(bigger.get(), data, m_end);
        m_buffer = std::move(bigger);
        m_capacity *= 2;
    }
    const long n = m_source.read(m_buffer.get() + m_end, m_capacity - m_end);
    if (n <= 0) {
        m_failed = n < 0;
        m_done = true;
        return false;
    }
    if (m_tap)
        m_tap->feed(std::string_view(m_buffer.get() + m_end, static_cast<std::size_t>(n)));
    m_end += static_cast<std::size_t>(n);
    return true;
}

void TextReader::readToEnd() {
    m_pos = m_end;
    if (m_failed)
        return;
    for (;;) {
        const long n = m_source.read(m_buffer.get(), m_capacity);
        if (n <= 0) {
            m_failed = m_failed || n < 0;
            break;
        }
        if (m_tap)
            m_tap->feed(std::string_view(m_buffer.get(), static_cast<std::size_t>(n)));
    }
    m_end = 0;
    m_pos = 0;
    m_done = true;
}

void TextReader::noteLineEnd(const char* lf) {
    const bool cr = lf > m_buffer.get() ? lf[-1] == kCr : m_tailCr;
    m_firstLineEnd = cr ? LineEnd::CrLf : LineEnd::Lf;
}

bool TextReader::firstLineEndIsCrLf() {
    while (m_firstLineEnd == LineEnd::Unknown) {
        const char* const data = m_buffer.get();
        if (const void* lf = std::memchr(data + m_pos, kLf, m_end - m_pos))
            noteLineEnd(static_cast<const char*>(lf));
        else if (!m_done && peekLineEnd())
            break;
        else if (!readMore())
            m_firstLineEnd = LineEnd::Lf; // no line end at all
    }
    return m_firstLineEnd == LineEnd::CrLf;
}

// Finds the first line end past the buffer without keeping what lies before it, so that a first
// line of gigabytes costs no memory; false where the source cannot look ahead.
bool TextReader::peekLineEnd() {
    constexpr std::size_t kBlock = 64 * 1024;
    std::unique_ptr<char[]> block(new char[kBlock]);
    bool crBefore = m_end > 0 ? m_buffer[m_end - 1] == kCr : m_tailCr;
    for (off_t ahead = 0;;) {
        const long n = m_source.peek(block.get(), kBlock, ahead);
        if (n < 0 && ahead == 0)
            return false; // the source cannot look ahead: the caller reads on
        if (n < 0) {
            m_firstLineEnd = LineEnd::Lf; // the read itself will meet the error and report it
            return true;
        }
        if (n == 0) {
            m_firstLineEnd = LineEnd::Lf; // no line end at all
            return true;
        }
        const std::size_t size = static_cast<std::size_t>(n);
        if (const void* found = std::memchr(block.get(), kLf, size)) {
            const std::size_t at =
                static_cast<std::size_t>(static_cast<const char*>(found) - block.get());
            const bool cr = at > 0 ? block[at - 1] == kCr : crBefore;
            m_firstLineEnd = cr ? LineEnd::CrLf : LineEnd::Lf;
            return true;
        }
        crBefore = block[size - 1] == kCr;
        ahead += static_cast<off_t>(size);
    }
}

bool TextReader::skip(std::string_view prefix) {
    while (m_end - m_pos < prefix.size() && readMore()) {
    }
    if (std::string_view(m_buffer.get() + m_pos, m_end - m_pos).substr(0, prefix.size()) != prefix)
        return false;
    m_pos += prefix.size();
    return true;
}

int TextReader::get() {
    for (;;) {
        if (m_pos == m_end && !fill())
            return -1;
        const char c = m_buffer[m_pos++];
        if (m_binary) {
            if (c == kLf && m_firstLineEnd == LineEnd::Unknown)
                noteLineEnd(m_buffer.get() + m_pos - 1);
            return static_cast<unsigned char>(c);
        }
        if (c != kCr)
            return static_cast<unsigned char>(c);
    }
}

// The binary line: bytes up to the LF, the LF itself given only with `keepLineEnd`.
template <typename Append> bool TextReader::takeRawLine(Append append, bool keepLineEnd) {
    for (;;) {
        if (m_pos == m_end && !fill())
            return false;
        const char* const data = m_buffer.get();
        const char* const p = data + m_pos;
        const char* const lf = static_cast<const char*>(std::memchr(p, kLf, m_end - m_pos));
        if (!lf) {
            append(p, m_end - m_pos);
            m_pos = m_end;
            continue;
        }
        if (m_firstLineEnd == LineEnd::Unknown)
            noteLineEnd(lf);
        append(p, static_cast<std::size_t>(lf - p) + (keepLineEnd ? 1 : 0));
        m_pos = static_cast<std::size_t>(lf + 1 - data);
        return true;
    }
}

template <typename Append> bool TextReader::takeLine(Append append) {
    for (;;) {
        if (m_pos == m_end && !fill())
            return false;
        const char* const data = m_buffer.get();
        const char* p = data + m_pos;
        const char* const end = data + m_end;
        const char* const lf = static_cast<const char*>(std::memchr(p, kLf, end - p));
        const char* const stop = lf ? lf : end;
        // Every CR is dropped; the usual line has one, just before its LF.
        while (const char* cr = static_cast<const char*>(std::memchr(p, kCr, stop - p))) {
            append(p, static_cast<std::size_t>(cr - p));
            p = cr + 1;
        }
        append(p, static_cast<std::size_t>(stop - p));
        m_pos = static_cast<std::size_t>(stop - data);
        if (lf) {
            ++m_pos;
            return true;
        }
    }
}

bool TextReader::copyLine(TextWriter& out) {
    if (m_binary)
        return takeRawLine([&](const char* data, std::size_t size) { out.append(data, size); },
                           true);
    if (m_pos < m_end) {
        // The usual line, text then CR LF inside the buffer, goes out as it came in.
        const char* const data = m_buffer.get();
        const char* const p = data + m_pos;
        const char* const lf = static_cast<const char*>(std::memchr(p, kLf, m_end - m_pos));
        if (lf && lf > p && lf[-1] == kCr && !std::memchr(p, kCr, lf - 1 - p)) {
            out.append(p, static_cast<std::size_t>(lf + 1 - p));
            m_pos = static_cast<std::size_t>(lf + 1 - data);
            return true;
        }
    }
    const bool ended =
        takeLine([&](const char* data, std::size_t size) { out.append(data, size); });
    if (ended)
        out.append("\r\n", 2);
    return ended;
}

std::size_t TextReader::copyLines(TextWriter& out, int stopA, int stopB) {
    // The usual run of lines, each found whole in the buffer (in text mode ending in its one
    // CR LF), goes out in one piece; anything else is left to copyLine.
    const char* const data = m_buffer.get();
    const char* const end = data + m_end;
    const char* const run = data + m_pos;
    const char* p = run;
    std::size_t lines = 0;
    while (p < end) {
        const char* const lf = static_cast<const char*>(std::memchr(p, kLf, end - p));
        if (!lf)
            break;
        if (m_binary) {
            if (m_firstLineEnd == LineEnd::Unknown)
                noteLineEnd(lf);
        } else if (lf == p || lf[-1] != kCr || std::memchr(p, kCr, lf - 1 - p)) {
            break;
        }
        p = lf + 1;
        ++lines;
        if (p < end &&
            (static_cast<unsigned char>(*p) == stopA || static_cast<unsigned char>(*p) == stopB))
            break;
    }
    if (lines > 0) {
        out.append(run, static_cast<std::size_t>(p - run));
        m_pos = static_cast<std::size_t>(p - data);
        return lines;
    }
    return copyLine(out) ? 1 : 0;
}

bool TextReader::readLine(std::string& line) {
    line.clear();
    const auto append = [&](const char* data, std::size_t size) {
        line.append(data, size);
    };
    if (!m_binary)
        return takeLine(append);
    const bool ended = takeRawLine(append, false);
    if (ended && !line.empty() && line.back() == kCr)
        line.pop_back(); // part of the line end
    return ended;
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

void TextWriter::appendInParts(const char* data, std::size_t size) {
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
        append(m_lineEnd.data(), m_lineEnd.size());
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
        append(m_lineEnd.data(), m_lineEnd.size());
        text.remove_prefix(lf + 1);
    }
}

bool TextWriter::flush() {
    drain();
    return !m_failed;
}

} // namespace morvex
