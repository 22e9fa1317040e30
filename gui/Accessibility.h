#pragma once

#include <QString>

class QWidget;

namespace morvex {

/// A caption as a screen reader says it: without its accelerator mark ("(&E)" or "&"), the
/// "..." of a command that opens a dialog and a closing ":".
QString spokenCaption(const QString& caption);

/// `caption` without its accelerators in brackets ("(&E)", "（&E）"), whole.
QString withoutBracketedAccelerators(const QString& caption);

/// What a screen reader says of `control` after its name; with `name`, also a name of its own
/// (for a control whose caption alone would not tell it from another, such as two "参照...").
void describeControl(QWidget* control, const QString& description, const QString& name = {});

/// Gives each control under `window` (the window included) that has none an accessible name,
/// from its caption, else from the label whose buddy it is, else from its hint; and an
/// accessible description from its hint. Labels keep speaking their own text as it changes.
void describeForAccessibility(QWidget* window);

/// From now on every window is described so when it is shown, and a dialog without a window
/// it belongs to gets one (giveTransientParent).
void describeWindowsWhenShown();

} // namespace morvex
