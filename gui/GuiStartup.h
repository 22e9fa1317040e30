#pragma once

#include <QString>

namespace morvex {

/// Registers the font substitutions that make the designed Japanese family names render with the
/// IPA (or VL) Gothic fonts; call once after the QApplication exists and before the first widget.
void installFontSubstitutions();

/// The family to ask Qt for in place of a designed one: the designed family itself where it is
/// installed, else its first installed substitute (see installFontSubstitutions), else the
/// designed family unchanged.
QString designedFamily(const QString& family);

/// Makes Qt's accessibility bridge join the session bus now, reading the font configuration on
/// a second thread while it waits. Call once on a desktop, after the QApplication exists and
/// before the first widget.
void joinBusWhileFontsLoad();

/// Puts a thin layer over the application's style, the one the desktop chose: everything passes
/// through to it, except that the menu bar's overflow button gets its picture when first drawn
/// instead of when the menu bar is made (reading it loads every image-format plugin, a fifth of
/// the main window's making). Call once on a desktop, after the QApplication exists and before
/// the first widget.
void installLazyIconStyle();

/// True when the Shift-JIS codec ("windows-31j") is available; the program cannot work without it.
bool shiftJisCodecAvailable();

/// Everything a GUI program or GUI test does before its first window: fonts, the accessible
/// names and descriptions of shown windows, and the codec check.
/// Returns false (with a reason in `error`) when the codec is missing.
bool prepareGui(QString* error = nullptr);

} // namespace morvex
