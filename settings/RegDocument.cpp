#include "settings/RegDocument.h"

#include "settings/RegFormat.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace morvex {

using namespace regformat;

namespace {

constexpr int kHexLineWidth = 78; // hex data wraps like the Windows exporter's

// A text that a quoted string holds exactly as written.
bool literalText(const QString& text) {
    return validUtf16(text) && std::none_of(text.begin(), text.end(), isControl);
}

QString quoted(const QString& text) {
    QString out = text;
    out.replace(u"\\"_s, u"\\\\"_s).replace(u"\""_s, u"\\\""_s);
    return u'"' + out + u'"';
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
        if (current.size() + token.size() > kHexLineWidth - 1 && current.size() > 2) {
            lines.append(current + u'\\');
            current = u"  "_s;
        }
        current += token;
    }
    lines.append(current);
    return lines;
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

RegDocument::RegDocument() {
    appendLine(Line::make(Line::Kind::Header, {kHeaderV5}));
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

void RegDocument::beginReading(Encoding encoding, QString eol, qsizetype lines) {
    m_lines.clear();
    m_lines.reserve(lines + 8);
    m_encoding = encoding;
    m_eol = std::move(eol);
}

void RegDocument::readSection(Line line) {
    const QString folded = fold(line.name);
    const bool deletion = line.kind == Line::Kind::DeleteKey;
    const QString path = line.name;
    const int index = appendLine(std::move(line));
    if (deletion) {
        eraseTree(folded, false);
        return;
    }
    KeyState& key = m_keys[folded];
    if (key.path.isNull())
        key.path = path;
    key.lines.push_back(index);
    key.tail = index;
}

std::optional<QString> RegDocument::readValue(const QString& foldedPath, Line line) {
    KeyState& key = m_keys[foldedPath];
    const QString folded = fold(line.name);
    const bool deletion = line.kind == Line::Kind::DeleteValue;
    auto known = key.values.constFind(folded);
    if (!deletion && known != key.values.constEnd())
        return m_lines[*known].name;
    const int index = appendLine(std::move(line));
    if (deletion)
        key.values.remove(folded);
    else
        key.values.insert(folded, index);
    key.lines.push_back(index);
    key.tail = index;
    return std::nullopt;
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
        return kHeaderV5;
    case Line::Kind::Key:
        return u'[' + kHive + (line.name.isEmpty() ? QString() : u'\\' + line.name) + u']';
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
