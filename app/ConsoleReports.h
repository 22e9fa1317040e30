#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <string>

namespace morvex {

/// One line for standard error saying what a message box would have said: "caption: text".
QByteArray messageLine(const QString& caption, const QString& text);

/// One line for standard output saying what the result dialog would have shown for a file.
/// `path` is the file's path as the engine has it (native bytes, written unchanged).
QByteArray resultLine(const QByteArray& path, int footers, int headers);

/// Writes the line and flushes, so that lines keep their order when both streams share a file.
void writeLine(std::FILE* stream, const QByteArray& line);

struct MainWindowSettings;

/// A store failure on standard error, captioned "Morvex" as the main window's error box is.
void writeStoreError(const QString& text);

/// An engine message on standard error, with the caption its box would have.
void writeEngineError(const std::string& text, const std::string& caption);

/// The main window's fields from the store, failures written to standard error. With
/// `readOldKeysInPlace` ("/c", which saves nothing) the older vendor's keys are read where they
/// are instead of being moved.
bool loadMainFieldsWithoutDesktop(MainWindowSettings& fields, bool readOldKeysInPlace);

/// Saves the System and File groups from `fields`, failures written to standard error. The exit
/// status the close request ends with: 0, or kSaveFailedStatus when a save failed.
int saveMainFieldsWithoutDesktop(const MainWindowSettings& fields);

} // namespace morvex
