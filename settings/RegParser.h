#pragma once

#include "settings/RegDocument.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

namespace morvex {

/// Reads a file in the registry export format into a document, line by line and strictly: the
/// first line it does not understand ends the reading with its error. It checks the syntax and
/// decodes the data; the document keeps what the lines mean (keys, values, deletions).
class RegParser {
public:
    /// Reads into `document`, which must hold no lines yet.
    explicit RegParser(RegDocument& document)
        : m_document(document) {}

    std::optional<RegParseError> run(QByteArrayView bytes);

private:
    using Line = RegDocument::Line;

    RegParseError fail(qsizetype column, QString reason) const {
        return RegParseError{int(m_lineNo + 1), int(column + 1), std::move(reason)};
    }

    std::optional<RegParseError> decode(QByteArrayView bytes);
    void splitLines(const QString& text);
    std::optional<RegParseError> checkHeader();
    std::optional<RegParseError> parseLine();
    std::optional<RegParseError> parseSection(const QString& line, qsizetype start);
    std::optional<RegParseError> parseValue(const QString& line, qsizetype start);
    std::optional<RegParseError> parseQuoted(const QString& line, qsizetype& i, QString& out);
    std::optional<RegParseError> parseData(const QString& line, qsizetype i, Line& entry);
    std::optional<RegParseError> parseHex(QString line, qsizetype i, quint32 type, Line& entry);
    std::optional<RegParseError> expectEnd(const QString& line, qsizetype i);
    std::optional<RegParseError> addValue(Line entry);

    RegDocument& m_document;
    RegDocument::Encoding m_encoding = RegDocument::Encoding::Utf8;
    QString m_eol = QStringLiteral("\n");
    QStringList m_physical;
    qsizetype m_lineNo = 0;
    std::optional<QString> m_section; ///< case-folded path of the section being read
    bool m_sectionDeleted = false;
};

} // namespace morvex
