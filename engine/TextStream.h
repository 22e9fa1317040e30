#pragma once

#include "engine/Encoding.h"

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace morvex {

/// Where raw bytes come from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    /// Reads up to `size` bytes; the count read, 0 at the end, -1 on an error.
    virtual long read(char* data, std::size_t size) = 0;
    /// Reads up to `size` bytes that lie `ahead` bytes past what read() has given, leaving them
    /// to read(); -1 where the source cannot (a pipe) or on an error.
    virtual long peek(char* /*data*/, std::size_t /*size*/, off_t /*ahead*/) { return -1; }
};

/// Where raw bytes go.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    /// Writes all `size` bytes; false on an error.
    virtual bool write(const char* data, std::size_t size) = 0;
};

/// Reads an open file descriptor (not owned), retrying interrupted reads.
class FdSource : public ByteSource {
public:
    explicit FdSource(int fd)
        : m_fd(fd) {}
    long read(char* data, std::size_t size) override;
    long peek(char* data, std::size_t size, off_t ahead) override;

private:
    int m_fd;
};

/// Writes an open file descriptor (not owned), retrying short and interrupted writes. With
/// `writeBehind`, the kernel is asked to start writing each few megabytes out at once, so that a
/// final fsync finds little left to do.
class FdSink : public ByteSink {
public:
    explicit FdSink(int fd, bool writeBehind = false)
        : m_fd(fd)
        , m_writeBehind(writeBehind) {}
    bool write(const char* data, std::size_t size) override;

private:
    int m_fd;
    bool m_writeBehind;
    off_t m_written = 0;
    off_t m_started = 0;
};

/// Reads bytes held in memory (not copied).
class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string_view data)
        : m_data(data) {}
    long read(char* data, std::size_t size) override;

private:
    std::string_view m_data;
};

/// Appends to a string.
class StringSink : public ByteSink {
public:
    explicit StringSink(std::string& target)
        : m_target(target) {}
    bool write(const char* data, std::size_t size) override;

private:
    std::string& m_target;
};

/// Compares what is written with the bytes of an open file (not owned) from its start, writing
/// nothing; after the first difference it reads the file no more.
class FileCompareSink : public ByteSink {
public:
    FileCompareSink(int fd, off_t size)
        : m_fd(fd)
        , m_size(size) {}
    /// Always true: a difference is a result, not an error.
    bool write(const char* data, std::size_t size) override;
    /// True while every write so far equals the file's bytes at the same place.
    bool matching() const { return m_matching; }
    /// The bytes written before the first write that differed (all of them while matching).
    off_t matched() const { return m_offset; }
    /// True when what was written is exactly the file's bytes, no more and no fewer.
    bool same() const { return m_matching && m_offset == m_size; }

private:
    int m_fd;
    off_t m_size;
    off_t m_offset = 0;
    bool m_matching = true;
    std::unique_ptr<char[]> m_block;
};

class TextWriter;

/// Windows text-mode reading: every CR is dropped and a Ctrl-Z byte ends the input. In binary
/// mode every byte is text and a line ends at LF, a CR right before it belonging to the line end.
class TextReader {
public:
    static constexpr std::size_t kDefaultBuffer = 1024 * 1024;
    explicit TextReader(ByteSource& source, std::size_t bufferSize = kDefaultBuffer);

    /// Switches to binary mode; before the first read only.
    void setBinary() { m_binary = true; }
    /// Binary mode: whether the first line end of the input is CR LF (false when it is a lone
    /// LF or the input has none). When no line end has been read yet, looks ahead to it: without
    /// holding the bytes before it where the source can peek, else holding them.
    bool firstLineEndIsCrLf();
    /// Binary mode: when the unread input begins with `prefix`, consumes it and returns true.
    bool skip(std::string_view prefix);

    /// The next byte (0 to 255), or -1 at the end of the input or after an error.
    int get();
    /// Copies the bytes up to and including the next LF to `out`; false when the input ended
    /// first (the bytes before the end are copied).
    bool copyLine(TextWriter& out);
    /// copyLine, then further whole lines as long as the next one does not begin with `stopA`
    /// or `stopB` (and, for speed, as long as they need no other look); the number of lines
    /// copied, 0 when the input ended within the first.
    std::size_t copyLines(TextWriter& out, int stopA, int stopB);
    /// Reads the bytes up to the next LF into `line` (replacing it); the LF is consumed and not
    /// kept, and so is a CR right before it in binary mode. False when the input ended first.
    bool readLine(std::string& line);
    /// True once a read of the source failed.
    bool failed() const { return m_failed; }
    /// Every byte read from the source from now on goes to `tap` too (not owned), Ctrl-Z, CR and
    /// the bytes after a Ctrl-Z included.
    void setTap(EncodingSniffer* tap) { m_tap = tap; }
    /// Reads what the source still holds for the tap alone: the reader gives nothing more.
    void readToEnd();

private:
    enum class LineEnd { Unknown, Lf, CrLf };

    bool fill();
    bool readMore();
    bool peekLineEnd();
    void noteLineEnd(const char* lf);
    template <typename Append> bool takeLine(Append append);
    template <typename Append> bool takeRawLine(Append append, bool keepLineEnd);

    ByteSource& m_source;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_done = false;
    bool m_failed = false;
    bool m_binary = false;
    bool m_tailCr = false; // the byte before the buffer's first one was a CR
    EncodingSniffer* m_tap = nullptr;
    LineEnd m_firstLineEnd = LineEnd::Unknown;
};

/// Windows text-mode writing: every LF goes out as CR LF (or as the line end set). Errors are
/// sticky.
class TextWriter {
public:
    static constexpr std::size_t kDefaultBuffer = 1024 * 1024;
    explicit TextWriter(ByteSink& sink, std::size_t bufferSize = kDefaultBuffer);
    ~TextWriter();

    /// The line end that put and write give an LF: CR LF, or LF alone.
    void setLineEnd(bool crlf) { m_lineEnd = crlf ? std::string_view("\r\n") : "\n"; }
    /// Writes one byte (an LF as the line end).
    void put(char c);
    /// Writes the bytes (each LF as the line end).
    void write(std::string_view text);
    /// Writes the bytes as they are.
    void writeRaw(std::string_view bytes) { append(bytes.data(), bytes.size()); }
    /// Hands everything buffered to the sink; false when any write so far failed.
    bool flush();
    /// True once a write to the sink failed.
    bool failed() const { return m_failed; }

private:
    friend class TextReader;
    void append(const char* data, std::size_t size) {
        if (size <= m_capacity - m_size) { // the usual case: it fits
            std::memcpy(m_buffer.get() + m_size, data, size);
            m_size += size;
            return;
        }
        appendInParts(data, size);
    }
    void appendInParts(const char* data, std::size_t size);
    void drain();

    ByteSink& m_sink;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity;
    std::size_t m_size = 0;
    bool m_failed = false;
    std::string_view m_lineEnd = "\r\n";
};

/// Writes the new text from the file's text; false gives the file up (it stays untouched).
using ReplaceBody = std::function<bool(TextReader&, TextWriter&)>;

} // namespace morvex
