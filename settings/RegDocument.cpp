#include "RegDocument.h"

#include "Sjis.h"

#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace morvex {

namespace {

const QString headerV5 = u"Windows Registry Editor Version 5.00"_s;
const QString headerV4 = u"REGEDIT4"_s;
const QString hive = u"HKEY_CURRENT_USER"_s;
constexpr int hexLineWidth = 78; // hex data wraps like the Windows exporter's

QString fold(const QString& text) {
    return text.toCaseFolded();
}

bool isSpace(QChar c) {
    return c == u' ' || c == u'\t';
}

bool isHex(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

bool isControl(QChar c) {
    return (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F;
}

bool validUtf16(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return false;
    }
    return true;
}

// A text that a quoted string holds exactly as written.
bool literalText(const QString& text) {
    return validUtf16(text) && std::none_of(text.begin(), text.end(), isControl);
}

QString quoted(const QString& text) {
    QString out = text;
    out.replace(u"\\"_s, u"\\\\"_s).replace(u"\""_s, u"\\\""_s);
    return u'"' + out + u'"';
}

QByteArray utf16Bytes(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

QString fromUtf16Bytes(QByteArrayView bytes) {
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(char16_t(uchar(bytes[2 * i]) | (uchar(bytes[2 * i + 1]) << 8)));
    return text;
}

QString hexPrefix(quint32 type) {
    return type == 3 ? u"hex:"_s : u"hex("_s + QString::number(type, 16) + u"):"_s;
}

// "hex(..):01,02,\" lines as the exporter wraps them; continuation lines start with two spaces.
QStringList hexLines(const QString& lead, QByteArrayView bytes) {
    QStringList lines;
    QString current = lead;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        QString token = QString::number(uchar(bytes[i]), 16).rightJustified(2, u'0');
        if (i + 1 < bytes.size())
            token += u',';
        if (current.size() + token.size() > hexLineWidth - 1 && current.size() > 2) {
            lines.append(current + u'\\');
            current = u"  "_s;
        }
        current += token;
    }
    lines.append(current);
    return lines;
}

// Data of the string types in a REGEDIT4 file is code page 932; keep it as UTF-16LE.
QByteArray ansiToUtf16(QByteArrayView bytes) {
    return utf16Bytes(sjis::decode(bytes));
}

RegValue textFromHex(QByteArrayView bytes, bool ansi) {
    if (ansi) {
        QByteArrayView body = bytes.endsWith('\0') ? bytes.chopped(1) : bytes;
        return RegValue::fromText(sjis::decode(body));
    }
    if (bytes.size() % 2)
        return RegValue::fromRaw(1, bytes.toByteArray());
    QByteArrayView body = bytes.endsWith(QByteArrayView("\0\0", 2)) ? bytes.chopped(2) : bytes;
    return RegValue::fromText(fromUtf16Bytes(body));
}

RegValue valueFromHex(quint32 type, QByteArray bytes, bool ansi, bool& convert) {
    convert = ansi && (type == 1 || type == 2 || type == 7);
    if (type == 1)
        return textFromHex(bytes, ansi);
    if (type == 4 && bytes.size() == 4)
        return RegValue::fromNumber(qint32(qFromLittleEndian<quint32>(bytes.constData())));
    return RegValue::fromRaw(type, convert ? ansiToUtf16(bytes) : bytes);
}

} // namespace

RegValue RegValue::fromText(QString text) {
    RegValue v;
    v.text = std::move(text);
    return v;
}

RegValue RegValue::fromNumber(qint32 number) {
    RegValue v;
    v.kind = Kind::Number;
    v.number = number;
    return v;
}

RegValue RegValue::fromRaw(quint32 type, QByteArray bytes) {
    RegValue v;
    v.kind = Kind::Raw;
    v.rawType = type;
    v.bytes = std::move(bytes);
    return v;
}

QString RegParseError::message(const QString& fileName) const {
    return u"設定ファイル \"%1\" を読めません (%2 行目、%3 文字目): %4"_s.arg(fileName)
        .arg(line)
        .arg(column)
        .arg(reason);
}

// Reads a file line by line into the document; the first error ends it.
class RegDocument::Parser {
public:
    explicit Parser(RegDocument& document)
        : d(document) {}

    std::optional<RegParseError> run(QByteArrayView bytes) {
        if (auto error = decode(bytes))
            return error;
        d.m_lines.reserve(m_physical.size() + 8);
        if (auto error = checkHeader())
            return error;
        for (m_lineNo = 1; m_lineNo < m_physical.size(); ++m_lineNo) {
            if (auto error = parseLine())
                return error;
        }
        return std::nullopt;
    }

private:
    RegParseError fail(qsizetype column, QString reason) const {
        return RegParseError{int(m_lineNo + 1), int(column + 1), std::move(reason)};
    }

    std::optional<RegParseError> decode(QByteArrayView bytes);
    std::optional<RegParseError> splitLines(const QString& text);
    std::optional<RegParseError> checkHeader();
    std::optional<RegParseError> parseLine();
    std::optional<RegParseError> parseSection(const QString& line, qsizetype start);
    std::optional<RegParseError> parseValue(const QString& line, qsizetype start);
    std::optional<RegParseError> parseQuoted(const QString& line, qsizetype& i, QString& out);
    std::optional<RegParseError> parseData(const QString& line, qsizetype i, Line& entry);
    std::optional<RegParseError> parseHex(QString line, qsizetype i, quint32 type, Line& entry);
    std::optional<RegParseError> expectEnd(const QString& line, qsizetype i);
    std::optional<RegParseError> addValue(Line entry);

    RegDocument& d;
    QStringList m_physical;
    qsizetype m_lineNo = 0;
    std::optional<QString> m_section; // case-folded path of the section being read
    bool m_sectionDeleted = false;
};

std::optional<RegParseError> RegDocument::Parser::decode(QByteArrayView bytes) {
    using Flag = QStringConverter::Flag;
    QStringConverter::Encoding codec = QStringConverter::Utf8;
    if (bytes.startsWith("\xFF\xFE")) {
        d.m_encoding = Encoding::Utf16Le;
        codec = QStringConverter::Utf16LE;
        bytes = bytes.sliced(2);
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes = bytes.sliced(3);
    } else if (bytes.startsWith("REGEDIT4")) {
        d.m_encoding = Encoding::Ansi932;
    }
    const auto flags = Flag::Stateless | Flag::ConvertInitialBom;
    QString text;
    bool bad = false;
    if (d.m_encoding == Encoding::Ansi932) {
        QStringDecoder decoder("windows-31j", flags);
        text = decoder(bytes);
        bad = decoder.hasError();
    } else {
        QStringDecoder decoder(codec, flags);
        text = decoder(bytes);
        bad = decoder.hasError() || (codec == QStringConverter::Utf16LE && bytes.size() % 2);
    }
    if (auto error = splitLines(text))
        return error;
    if (!bad && (d.m_encoding != Encoding::Utf16Le || validUtf16(text)))
        return std::nullopt;
    // Find the first line that does not decode on its own, to name it.
    for (m_lineNo = 0; m_lineNo < m_physical.size(); ++m_lineNo) {
        const QString& line = m_physical[m_lineNo];
        qsizetype column = line.indexOf(QChar::ReplacementCharacter);
        if (column >= 0 || !validUtf16(line))
            return fail(std::max<qsizetype>(column, 0),
                        u"文字コードとして正しくないバイトがあります"_s);
    }
    m_lineNo = std::max<qsizetype>(m_physical.size() - 1, 0);
    return fail(0, u"文字コードとして正しくないバイトがあります"_s);
}

std::optional<RegParseError> RegDocument::Parser::splitLines(const QString& text) {
    m_physical = text.split(u'\n');
    if (m_physical.size() > 1 && m_physical.last().isEmpty())
        m_physical.removeLast();
    if (!m_physical.isEmpty() && m_physical.first().endsWith(u'\r'))
        d.m_eol = u"\r\n"_s;
    for (QString& line : m_physical) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return std::nullopt;
}

std::optional<RegParseError> RegDocument::Parser::checkHeader() {
    m_lineNo = 0;
    QString first = m_physical.value(0);
    while (!first.isEmpty() && isSpace(first.back()))
        first.chop(1);
    const bool ansi = d.m_encoding == Encoding::Ansi932;
    const QString& expected = ansi ? headerV4 : headerV5;
    if (first != expected)
        return fail(0, u"1 行目が \"%1\" ではありません"_s.arg(headerV5));
    Line header = Line::make(Line::Kind::Header, {m_physical[0]});
    header.render = ansi; // rewritten as a version 5 file
    d.appendLine(std::move(header));
    return std::nullopt;
}

std::optional<RegParseError> RegDocument::Parser::parseLine() {
    const QString& line = m_physical[m_lineNo];
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (isControl(line[i]))
            return fail(i, u"制御文字 (U+%1) があります"_s.arg(uint(line[i].unicode()), 4, 16,
                                                               QChar(u'0')));
    }
    qsizetype start = 0;
    while (start < line.size() && isSpace(line[start]))
        ++start;
    if (start == line.size()) {
        d.appendLine(Line::make(Line::Kind::Blank, {line}));
        return std::nullopt;
    }
    const QChar first = line[start];
    if (first == u';') {
        d.appendLine(Line::make(Line::Kind::Comment, {line}));
        return std::nullopt;
    }
    if (first == u'[')
        return parseSection(line, start);
    if (first == u'"' || first == u'@')
        return parseValue(line, start);
    return fail(start, u"解釈できない行です (キー、値、注釈のどれでもありません)"_s);
}

std::optional<RegParseError> RegDocument::Parser::parseSection(const QString& line,
                                                               qsizetype start) {
    qsizetype end = line.size();
    while (isSpace(line[end - 1]))
        --end;
    if (line[end - 1] != u']' || end - start < 2)
        return fail(end, u"キーの行が \"]\" で終わっていません"_s);
    QString inner = line.mid(start + 1, end - start - 2);
    const bool deletion = inner.startsWith(u'-');
    if (deletion)
        inner.remove(0, 1);
    QStringList parts = inner.split(u'\\');
    if (parts.first().compare(hive, Qt::CaseInsensitive) != 0)
        return fail(start + 1, u"HKEY_CURRENT_USER の下のキーではありません"_s);
    parts.removeFirst();
    if (parts.contains(QString()))
        return fail(start + 1, u"キーの名前に空の部分があります"_s);
    const QString path = parts.join(u'\\');
    const QString folded = fold(path);
    Line entry = Line::make(deletion ? Line::Kind::DeleteKey : Line::Kind::Key, {line}, path);
    const int index = d.appendLine(std::move(entry));
    m_sectionDeleted = deletion;
    if (deletion) {
        d.eraseTree(folded, false);
        m_section.reset();
        return std::nullopt;
    }
    KeyState& key = d.m_keys[folded];
    if (key.path.isNull())
        key.path = path;
    key.lines.push_back(index);
    key.tail = index;
    m_section = folded;
    return std::nullopt;
}

std::optional<RegParseError> RegDocument::Parser::parseValue(const QString& line, qsizetype start) {
    if (!m_section) {
        return fail(start, m_sectionDeleted ? u"削除するキーの下に値は書けません"_s
                                            : u"値の前にキーの行がありません"_s);
    }
    Line entry = Line::make(Line::Kind::Value, {line});
    qsizetype i = start;
    if (line[i] == u'@') {
        entry.name = QString(u""_s);
        ++i;
    } else if (auto error = parseQuoted(line, i, entry.name)) {
        return error;
    }
    if (i >= line.size() || line[i] != u'=')
        return fail(i, u"値の名前の後に \"=\" がありません"_s);
    if (auto error = parseData(line, i + 1, entry))
        return error;
    return addValue(std::move(entry));
}

std::optional<RegParseError> RegDocument::Parser::parseQuoted(const QString& line, qsizetype& i,
                                                              QString& out) {
    out = QString(u""_s);
    for (++i; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'"') {
            ++i;
            return std::nullopt;
        }
        if (c == u'\\') {
            if (i + 1 >= line.size() || (line[i + 1] != u'\\' && line[i + 1] != u'"'))
                return fail(i, u"文字列の中の \\ の後には \\ か \" しか書けません"_s);
            ++i;
        }
        out += line[i];
    }
    return fail(i, u"文字列を閉じる \" がありません"_s);
}

std::optional<RegParseError> RegDocument::Parser::expectEnd(const QString& line, qsizetype i) {
    while (i < line.size() && isSpace(line[i]))
        ++i;
    if (i < line.size())
        return fail(i, u"値の後に余分な文字があります"_s);
    return std::nullopt;
}

std::optional<RegParseError> RegDocument::Parser::parseData(const QString& line, qsizetype i,
                                                            Line& entry) {
    const QStringView rest = QStringView(line).mid(i);
    if (rest.startsWith(u'-')) {
        entry.kind = Line::Kind::DeleteValue;
        return expectEnd(line, i + 1);
    }
    if (rest.startsWith(u'"')) {
        QString text;
        if (auto error = parseQuoted(line, i, text))
            return error;
        entry.value = RegValue::fromText(text);
        return expectEnd(line, i);
    }
    if (rest.startsWith(u"dword:", Qt::CaseInsensitive)) {
        qsizetype j = i + 6;
        while (j < line.size() && isHex(line[j]) && j - (i + 6) < 9)
            ++j;
        if (j == i + 6 || j - (i + 6) > 8)
            return fail(i + 6, u"dword の値は 1 から 8 桁の 16 進数で書きます"_s);
        entry.value = RegValue::fromNumber(qint32(line.mid(i + 6, j - i - 6).toUInt(nullptr, 16)));
        return expectEnd(line, j);
    }
    if (rest.startsWith(u"hex", Qt::CaseInsensitive)) {
        qsizetype j = i + 3;
        quint32 type = 3;
        if (j < line.size() && line[j] == u'(') {
            const qsizetype close = line.indexOf(u')', j);
            bool ok = close > j + 1 && close - j - 1 <= 8;
            type = ok ? line.mid(j + 1, close - j - 1).toUInt(&ok, 16) : 0;
            if (!ok)
                return fail(j, u"hex( ) の中は 1 から 8 桁の 16 進数で書きます"_s);
            j = close + 1;
        }
        if (j >= line.size() || line[j] != u':')
            return fail(j, u"hex の後に \":\" がありません"_s);
        return parseHex(line, j + 1, type, entry);
    }
    return fail(i, u"値の形式が分かりません (\"文字列\"、dword:、hex: のどれかです)"_s);
}

std::optional<RegParseError> RegDocument::Parser::parseHex(QString line, qsizetype i, quint32 type,
                                                           Line& entry) {
    QByteArray bytes;
    bool afterComma = false;
    for (;;) {
        while (i < line.size() && isSpace(line[i]))
            ++i;
        if (i == line.size()) {
            if (afterComma)
                return fail(i, u"\",\" の後にバイトがありません"_s);
            break;
        }
        if (line[i] == u'\\' && (afterComma || bytes.isEmpty())) {
            if (auto error = expectEnd(line, i + 1))
                return error;
            if (m_lineNo + 1 >= m_physical.size())
                return fail(i, u"続きの行がないままファイルが終わっています"_s);
            line = m_physical[++m_lineNo];
            entry.text.append(line);
            for (qsizetype k = 0; k < line.size(); ++k) {
                if (isControl(line[k]))
                    return fail(k, u"制御文字があります"_s);
            }
            i = 0;
            continue;
        }
        qsizetype j = i;
        while (j < line.size() && j - i < 3 && isHex(line[j]))
            ++j;
        if (j == i || j - i > 2)
            return fail(i, u"バイトは 1 桁か 2 桁の 16 進数で書きます"_s);
        bytes.append(char(line.mid(i, j - i).toUInt(nullptr, 16)));
        i = j;
        while (i < line.size() && isSpace(line[i]))
            ++i;
        if (i == line.size())
            break;
        if (line[i] != u',')
            return fail(i, u"バイトの後には \",\" が要ります"_s);
        ++i;
        afterComma = true;
    }
    bool convert = false;
    entry.value = valueFromHex(type, bytes, d.m_encoding == Encoding::Ansi932, convert);
    entry.render = convert;
    return std::nullopt;
}

std::optional<RegParseError> RegDocument::Parser::addValue(Line entry) {
    KeyState& key = d.m_keys[*m_section];
    const QString folded = fold(entry.name);
    const bool deletion = entry.kind == Line::Kind::DeleteValue;
    auto known = key.values.constFind(folded);
    if (!deletion && known != key.values.constEnd()) {
        const QString& other = d.m_lines[*known].name;
        m_lineNo = m_lineNo - entry.text.size() + 1;
        if (other == entry.name)
            return fail(0, u"同じキーに値 \"%1\" が二つあります"_s.arg(entry.name));
        return fail(0,
                    u"同じキーに大文字と小文字だけが違う名前の値 \"%1\" と \"%2\" があります"_s.arg(
                        other, entry.name));
    }
    const int index = d.appendLine(std::move(entry));
    if (deletion)
        key.values.remove(folded);
    else
        key.values.insert(folded, index);
    key.lines.push_back(index);
    key.tail = index;
    return std::nullopt;
}

RegDocument::RegDocument() {
    appendLine(Line::make(Line::Kind::Header, {headerV5}));
}

RegDocument::ParseResult RegDocument::parse(QByteArrayView bytes) {
    RegDocument document;
    document.m_lines.clear();
    Parser parser(document);
    if (auto error = parser.run(bytes))
        return *error;
    return document;
}

int RegDocument::appendLine(Line line) {
    m_lines.push_back(std::move(line));
    const int index = int(m_lines.size() - 1);
    if (index > 0)
        m_lines[m_last].next = index;
    m_last = index;
    return index;
}

int RegDocument::insertAfter(int index, Line line) {
    line.next = m_lines[index].next;
    m_lines.push_back(std::move(line));
    const int added = int(m_lines.size() - 1);
    m_lines[index].next = added;
    if (m_last == index)
        m_last = added;
    return added;
}

QByteArray RegDocument::serialize() const {
    QString out;
    for (int i = 0; i >= 0; i = m_lines[i].next) {
        const Line& line = m_lines[i];
        if (line.removed)
            continue;
        out += line.render ? renderLine(line) : line.text.join(m_eol);
        out += m_eol;
    }
    return out.toUtf8();
}

QString RegDocument::renderLine(const Line& line) const {
    switch (line.kind) {
    case Line::Kind::Header:
        return headerV5;
    case Line::Kind::Key:
        return u'[' + hive + (line.name.isEmpty() ? QString() : u'\\' + line.name) + u']';
    case Line::Kind::Value:
        break;
    default:
        return line.text.join(m_eol);
    }
    const QString lead = (line.name.isEmpty() ? u"@"_s : quoted(line.name)) + u'=';
    const RegValue& v = line.value;
    switch (v.kind) {
    case RegValue::Kind::Text:
        if (literalText(v.text))
            return lead + quoted(v.text);
        return hexLines(lead + hexPrefix(1), utf16Bytes(v.text) + QByteArray(2, '\0')).join(m_eol);
    case RegValue::Kind::Number:
        return lead + u"dword:"_s + QString::number(quint32(v.number), 16).rightJustified(8, u'0');
    case RegValue::Kind::Raw:
        break;
    }
    return hexLines(lead + hexPrefix(v.rawType), v.bytes).join(m_eol);
}

std::optional<QString> RegDocument::fromStorePath(const QString& storePath) {
    if (!storePath.startsWith(u'\\'))
        return std::nullopt;
    QString path = storePath.mid(1);
    if (path.endsWith(u'\\'))
        path.chop(1);
    if (path.isEmpty())
        return QString(u""_s);
    const QStringList parts = path.split(u'\\');
    if (parts.contains(QString()) || !validName(path))
        return std::nullopt;
    return path;
}

bool RegDocument::validName(const QString& name) {
    return literalText(name);
}

const RegDocument::KeyState* RegDocument::findKey(const QString& path) const {
    auto it = m_keys.constFind(fold(path));
    return it == m_keys.constEnd() ? nullptr : &*it;
}

bool RegDocument::hasChildKeys(const QString& path) const {
    const QString prefix = path.isEmpty() ? QString() : fold(path) + u'\\';
    auto it = m_keys.lowerBound(prefix);
    while (it != m_keys.end() && it.key().isEmpty())
        ++it;
    return it != m_keys.end() && it.key().startsWith(prefix);
}

bool RegDocument::keyExists(const QString& path) const {
    // The root and "Software" exist in every user's hive.
    if (path.isEmpty() || fold(path) == u"software"_s)
        return true;
    return findKey(path) || hasChildKeys(path);
}

const RegValue* RegDocument::value(const QString& path, const QString& name) const {
    const KeyState* key = findKey(path);
    if (!key)
        return nullptr;
    auto it = key->values.constFind(fold(name));
    return it == key->values.constEnd() ? nullptr : &m_lines[*it].value;
}

QStringList RegDocument::valueNames(const QString& path) const {
    QStringList names;
    if (const KeyState* key = findKey(path)) {
        for (int index : key->values)
            names.append(m_lines[index].name);
    }
    return names;
}

RegDocument::KeyState& RegDocument::appendSection(const QString& path) {
    const Line& last = m_lines[m_last];
    if (last.kind != Line::Kind::Blank || last.removed)
        appendLine(Line::make(Line::Kind::Blank, {QString()}));
    Line header = Line::make(Line::Kind::Key, {}, path);
    header.render = true;
    const int index = appendLine(std::move(header));
    KeyState& key = m_keys[fold(path)];
    if (key.path.isNull())
        key.path = path;
    key.lines.push_back(index);
    key.tail = index;
    m_modified = true;
    return key;
}

bool RegDocument::createKey(const QString& path) {
    if (keyExists(path))
        return false;
    appendSection(path);
    return true;
}

bool RegDocument::setValue(const QString& path, const QString& name, const RegValue& value) {
    auto found = m_keys.find(fold(path));
    KeyState& key = found != m_keys.end() ? *found : appendSection(path);
    const QString folded = fold(name);
    if (auto known = key.values.constFind(folded); known != key.values.constEnd()) {
        Line& line = m_lines[*known];
        if (line.value == value)
            return false;
        line.value = value;
        line.render = true;
        m_modified = true;
        return true;
    }
    Line entry = Line::make(Line::Kind::Value, {}, name);
    entry.value = value;
    entry.render = true;
    const int index = insertAfter(key.tail, std::move(entry));
    key.values.insert(folded, index);
    key.lines.push_back(index);
    key.tail = index;
    m_modified = true;
    return true;
}

int RegDocument::eraseTree(const QString& folded, bool removeLines) {
    const QString prefix = folded.isEmpty() ? QString() : folded + u'\\';
    int erased = 0;
    auto drop = [&](QMap<QString, KeyState>::iterator it) {
        if (removeLines) {
            for (int index : it->lines)
                m_lines[index].removed = true;
        }
        ++erased;
        return m_keys.erase(it);
    };
    if (auto it = m_keys.find(folded); it != m_keys.end())
        drop(it);
    for (auto it = m_keys.lowerBound(prefix); it != m_keys.end() && it.key().startsWith(prefix);)
        it = drop(it);
    return erased;
}

bool RegDocument::removeTree(const QString& path) {
    if (eraseTree(fold(path), true) == 0)
        return false;
    m_modified = true;
    // As in the registry, deleting a key leaves its parent in place.
    const qsizetype cut = path.lastIndexOf(u'\\');
    const QString parent = cut < 0 ? QString() : path.left(cut);
    if (!parent.isEmpty() && !keyExists(parent))
        appendSection(parent);
    return true;
}

RegState RegDocument::state() const {
    RegState state;
    for (auto key = m_keys.cbegin(); key != m_keys.cend(); ++key) {
        QMap<QString, RegValueEntry>& values = state[key.key()];
        for (auto it = key->values.cbegin(); it != key->values.cend(); ++it)
            values.insert(it.key(), RegValueEntry{m_lines[*it].name, m_lines[*it].value});
    }
    return state;
}

bool RegDocument::sameContent(const RegDocument& other) const {
    if (m_keys.size() != other.m_keys.size())
        return false;
    for (auto mine = m_keys.cbegin(), theirs = other.m_keys.cbegin(); mine != m_keys.cend();
         ++mine, ++theirs) {
        if (mine.key() != theirs.key() || mine->values.size() != theirs->values.size())
            return false;
        for (auto it = mine->values.cbegin(); it != mine->values.cend(); ++it) {
            auto match = theirs->values.constFind(it.key());
            if (match == theirs->values.cend())
                return false;
            const Line& a = m_lines[*it];
            const Line& b = other.m_lines[*match];
            if (a.name != b.name || !(a.value == b.value))
                return false;
        }
    }
    return true;
}

bool StoreChange::applyTo(RegDocument& document) const {
    switch (kind) {
    case Kind::CreateKey:
        return document.createKey(path);
    case Kind::SetValue:
        if (onlyIfUnchanged) {
            const RegValue* now = document.value(path, name);
            if (now ? !(expected && *now == *expected) : expected.has_value())
                return false;
        }
        return document.setValue(path, name, value);
    case Kind::RemoveTree:
        return document.removeTree(path);
    }
    return false;
}

} // namespace morvex
