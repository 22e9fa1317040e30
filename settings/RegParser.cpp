#include "settings/RegParser.h"

#include "settings/RegFormat.h"
#include "settings/Sjis.h"

#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace morvex {

using namespace regformat;

namespace {

bool isSpace(QChar c) {
    return c == u' ' || c == u'\t';
}

bool isHex(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

QString fromUtf16Bytes(QByteArrayView bytes) {
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(char16_t(uchar(bytes[2 * i]) | (uchar(bytes[2 * i + 1]) << 8)));
    return text;
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

QString RegParseError::message(const QString& fileName) const {
    return u"設定ファイル \"%1\" を読めません (%2 行目、%3 文字目): %4"_s.arg(fileName)
        .arg(line)
        .arg(column)
        .arg(reason);
}

std::optional<RegParseError> RegParser::run(QByteArrayView bytes) {
    if (auto error = decode(bytes))
        return error;
    m_document.beginReading(m_encoding, m_eol, m_physical.size());
    if (auto error = checkHeader())
        return error;
    for (m_lineNo = 1; m_lineNo < m_physical.size(); ++m_lineNo) {
        if (auto error = parseLine())
            return error;
    }
    return std::nullopt;
}

std::optional<RegParseError> RegParser::decode(QByteArrayView bytes) {
    using Flag = QStringConverter::Flag;
    QStringConverter::Encoding codec = QStringConverter::Utf8;
    if (bytes.startsWith("\xFF\xFE")) {
        m_encoding = RegDocument::Encoding::Utf16Le;
        codec = QStringConverter::Utf16LE;
        bytes = bytes.sliced(2);
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes = bytes.sliced(3);
    } else if (bytes.startsWith("REGEDIT4")) {
        m_encoding = RegDocument::Encoding::Ansi932;
    }
    const auto flags = Flag::Stateless | Flag::ConvertInitialBom;
    QString text;
    bool bad = false;
    if (m_encoding == RegDocument::Encoding::Ansi932) {
        QStringDecoder decoder("windows-31j", flags);
        text = decoder(bytes);
        bad = decoder.hasError();
    } else {
        QStringDecoder decoder(codec, flags);
        text = decoder(bytes);
        bad = decoder.hasError() || (codec == QStringConverter::Utf16LE && bytes.size() % 2);
    }
    splitLines(text);
    if (!bad && (m_encoding != RegDocument::Encoding::Utf16Le || validUtf16(text)))
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

void RegParser::splitLines(const QString& text) {
    m_physical = text.split(u'\n');
    if (m_physical.size() > 1 && m_physical.last().isEmpty())
        m_physical.removeLast();
    if (!m_physical.isEmpty() && m_physical.first().endsWith(u'\r'))
        m_eol = u"\r\n"_s;
    for (QString& line : m_physical) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
}

std::optional<RegParseError> RegParser::checkHeader() {
    m_lineNo = 0;
    QString first = m_physical.value(0);
    while (!first.isEmpty() && isSpace(first.back()))
        first.chop(1);
    const bool ansi = m_encoding == RegDocument::Encoding::Ansi932;
    const QString& expected = ansi ? kHeaderV4 : kHeaderV5;
    if (first != expected)
        return fail(0, u"1 行目が \"%1\" ではありません"_s.arg(kHeaderV5));
    Line header = Line::make(Line::Kind::Header, {m_physical[0]});
    header.render = ansi; // rewritten as a version 5 file
    m_document.appendLine(std::move(header));
    return std::nullopt;
}

std::optional<RegParseError> RegParser::parseLine() {
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
        m_document.appendLine(Line::make(Line::Kind::Blank, {line}));
        return std::nullopt;
    }
    const QChar first = line[start];
    if (first == u';') {
        m_document.appendLine(Line::make(Line::Kind::Comment, {line}));
        return std::nullopt;
    }
    if (first == u'[')
        return parseSection(line, start);
    if (first == u'"' || first == u'@')
        return parseValue(line, start);
    return fail(start, u"解釈できない行です (キー、値、注釈のどれでもありません)"_s);
}

std::optional<RegParseError> RegParser::parseSection(const QString& line, qsizetype start) {
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
    if (parts.first().compare(kHive, Qt::CaseInsensitive) != 0)
        return fail(start + 1, u"HKEY_CURRENT_USER の下のキーではありません"_s);
    parts.removeFirst();
    if (parts.contains(QString()))
        return fail(start + 1, u"キーの名前に空の部分があります"_s);
    const QString path = parts.join(u'\\');
    m_sectionDeleted = deletion;
    if (deletion)
        m_section.reset();
    else
        m_section = fold(path);
    m_document.readSection(
        Line::make(deletion ? Line::Kind::DeleteKey : Line::Kind::Key, {line}, path));
    return std::nullopt;
}

std::optional<RegParseError> RegParser::parseValue(const QString& line, qsizetype start) {
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

std::optional<RegParseError> RegParser::parseQuoted(const QString& line, qsizetype& i,
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

std::optional<RegParseError> RegParser::expectEnd(const QString& line, qsizetype i) {
    while (i < line.size() && isSpace(line[i]))
        ++i;
    if (i < line.size())
        return fail(i, u"値の後に余分な文字があります"_s);
    return std::nullopt;
}

std::optional<RegParseError> RegParser::parseData(const QString& line, qsizetype i, Line& entry) {
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

std::optional<RegParseError> RegParser::parseHex(QString line, qsizetype i, quint32 type,
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
    entry.value = valueFromHex(type, bytes, m_encoding == RegDocument::Encoding::Ansi932, convert);
    entry.render = convert;
    return std::nullopt;
}

std::optional<RegParseError> RegParser::addValue(Line entry) {
    const QString name = entry.name;
    const qsizetype physicalLines = entry.text.size();
    const std::optional<QString> other = m_document.readValue(*m_section, std::move(entry));
    if (!other)
        return std::nullopt;
    m_lineNo = m_lineNo - physicalLines + 1;
    if (*other == name)
        return fail(0, u"同じキーに値 \"%1\" が二つあります"_s.arg(name));
    return fail(0, u"同じキーに大文字と小文字だけが違う名前の値 \"%1\" と \"%2\" があります"_s.arg(
                       *other, name));
}

RegDocument::ParseResult RegDocument::parse(QByteArrayView bytes) {
    RegDocument document;
    if (auto error = RegParser(document).run(bytes))
        return *error;
    return document;
}

} // namespace morvex
