#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>

namespace morvex {

/// One line for standard error saying what a message box would have said: "caption: text".
QByteArray messageLine(const QString& caption, const QString& text);

/// One line for standard output saying what the result dialog would have shown for a file.
/// `path` is the file's path as the engine has it (native bytes, written unchanged).
QByteArray resultLine(const QByteArray& path, int footers, int headers);

/// Writes the line and flushes, so that lines keep their order when both streams share a file.
void writeLine(std::FILE* stream, const QByteArray& line);

} // namespace morvex
