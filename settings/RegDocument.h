#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>
#include <vector>

namespace morvex {

/// One stored value: text, a 32-bit integer, or data of another registry type kept as bytes.
struct RegValue {
    enum class Kind { Text, Number, Raw };
    Kind kind = Kind::Text;
    QString text;
    qint32 number = 0;
    quint32 rawType = 0; ///< registry type number of a Raw value (3 for "hex:")
    QByteArray bytes;    ///< data of a Raw value (UTF-16LE for the string types)

    static RegValue fromText(QString text);
    static RegValue fromNumber(qint32 number);
    static RegValue fromRaw(quint32 type, QByteArray bytes);
    friend bool operator==(const RegValue&, const RegValue&) = default;
};

/// Where and why a file is not in the registry export format; line and column count from 1.
struct RegParseError {
    int line = 0;
    int column = 0;
    QString reason;
    /// The Japanese message naming the file, line and column.
    QString message(const QString& fileName) const;
};

/// The meaning of a document: each key that has a section (case-folded path) with its values
/// (case-folded name -> name as written and value). Two documents that read the same compare equal.
struct RegValueEntry {
    QString name;
    RegValue value;
    friend bool operator==(const RegValueEntry&, const RegValueEntry&) = default;
};
using RegState = QMap<QString, QMap<QString, RegValueEntry>>;

/// A settings file in the registry export format, held as its lines so that a rewrite keeps
/// every line it does not change (comments, other value types, deletions) in place.
///
/// Read: "Windows Registry Editor Version 5.00" in UTF-8 (with or without BOM) or UTF-16LE with
/// BOM, or "REGEDIT4" in code page 932; CR LF or LF. Lines: blank, "; comment", "[HKEY_CURRENT_USER
/// \path]", "[-HKEY_CURRENT_USER\path]" (deletes the tree), "name"=... or @=... with "text"
/// (only \\ and \" escaped), dword:1-8 hex digits, hex:/hex(n): bytes continued with ",\", or -
/// (deletes the value). Lines apply in order; a name given twice in one key (in any letter case)
/// without a deletion between is an error, as is anything else not listed here.
/// Values: hex(1) is text (UTF-16LE, one terminating NUL dropped) and 4-byte hex(4) a number;
/// other types stay raw. In a REGEDIT4 file the string types' bytes are code page 932 and are
/// held as UTF-16LE, since every rewrite produces a version 5 UTF-8 file.
/// Written: text as "..." when it holds no control character and no unpaired surrogate,
/// otherwise as hex(1): with its UTF-16LE units and a NUL, which reads back exactly; numbers as
/// dword:8 hex digits; new values after the last value of their key's last section, new keys at
/// the end. The original line ends are kept; a byte-order mark is not written.
///
/// Key paths here are relative to HKEY_CURRENT_USER without a leading backslash
/// ("Software\QOR\Morvex"); the empty path is the root. Paths and names match case-insensitively.
class RegDocument {
public:
    enum class Encoding { Utf8, Utf16Le, Ansi932 };
    using ParseResult = std::variant<RegDocument, RegParseError>;

    /// A document with no keys, written as UTF-8 with LF line ends.
    RegDocument();
    /// Parses a whole file strictly: UTF-8 (with or without BOM), UTF-16LE with BOM, or REGEDIT4
    /// in code page 932. Every line not understood is an error.
    static ParseResult parse(QByteArrayView bytes);
    /// The file's bytes: UTF-8, the original line ends, unchanged lines as they were read.
    QByteArray serialize() const;

    /// Converts a store path ("\Software\QOR") to this class's form; nothing when malformed.
    static std::optional<QString> fromStorePath(const QString& storePath);
    /// True when `name` can be stored under a key (no control characters, valid UTF-16).
    static bool validName(const QString& name);

    bool keyExists(const QString& path) const;
    bool hasChildKeys(const QString& path) const;
    /// The value, or nullptr when the key or the value is absent.
    const RegValue* value(const QString& path, const QString& name) const;
    /// Names of the key's values as written, in no particular order.
    QStringList valueNames(const QString& path) const;

    /// Each edit returns true when it changed the document.
    bool createKey(const QString& path);
    bool setValue(const QString& path, const QString& name, const RegValue& value);
    bool removeTree(const QString& path);

    RegState state() const;
    /// True when `other` holds the same keys and values (what state() compares, without copying).
    bool sameContent(const RegDocument& other) const;
    Encoding encoding() const { return m_encoding; }
    /// True once an edit changed something since parsing.
    bool modified() const { return m_modified; }

private:
    struct Line {
        enum class Kind { Header, Blank, Comment, Key, DeleteKey, Value, DeleteValue };
        Kind kind = Kind::Blank;
        QStringList text;    ///< physical lines as read (several for a continued hex value)
        QString name;        ///< Value, DeleteValue: the name as written; Key: the path
        RegValue value;      ///< Value
        bool render = false; ///< text is produced from name and value when written
        bool removed = false;
        int next = -1;

        static Line make(Kind kind, QStringList text, QString name = {}) {
            Line line;
            line.kind = kind;
            line.text = std::move(text);
            line.name = std::move(name);
            return line;
        }
    };

    struct KeyState {
        QString path;               ///< as first written
        std::vector<int> lines;     ///< headers, values and value deletions of its live sections
        int tail = -1;              ///< last of those lines: where a new value goes
        QHash<QString, int> values; ///< case-folded name -> its Value line
    };

    class Parser;

    int appendLine(Line line);
    int insertAfter(int index, Line line);
    KeyState& appendSection(const QString& path);
    const KeyState* findKey(const QString& path) const;
    int eraseTree(const QString& folded, bool removeLines);
    QString renderLine(const Line& line) const;

    std::vector<Line> m_lines; ///< in reading order; `next` links give the file order
    int m_last = 0;            ///< last line in file order
    QMap<QString, KeyState> m_keys;
    Encoding m_encoding = Encoding::Utf8;
    QString m_eol = QStringLiteral("\n");
    bool m_modified = false;
};

/// One change a store handle made, replayed on the file as it is at commit time.
struct StoreChange {
    enum class Kind { CreateKey, SetValue, RemoveTree };
    Kind kind = Kind::CreateKey;
    QString path;
    QString name;
    RegValue value;
    /// A SetValue that must not replace what another writer put there: it applies only while the
    /// document holds `expected` under the name (nothing: no value of that name).
    bool onlyIfUnchanged = false;
    std::optional<RegValue> expected;
    static StoreChange createKey(QString path) { return make(Kind::CreateKey, std::move(path)); }
    static StoreChange removeTree(QString path) { return make(Kind::RemoveTree, std::move(path)); }
    static StoreChange setValue(QString path, QString name, RegValue value) {
        StoreChange change = make(Kind::SetValue, std::move(path));
        change.name = std::move(name);
        change.value = std::move(value);
        return change;
    }
    static StoreChange setValueIfStill(QString path, QString name, RegValue value,
                                       std::optional<RegValue> expected) {
        StoreChange change = setValue(std::move(path), std::move(name), std::move(value));
        change.onlyIfUnchanged = true;
        change.expected = std::move(expected);
        return change;
    }
    static StoreChange make(Kind kind, QString path) {
        StoreChange change;
        change.kind = kind;
        change.path = std::move(path);
        return change;
    }
    /// Applies the change; true when the document changed.
    bool applyTo(RegDocument& document) const;
};

} // namespace morvex
