#pragma once

#include <QString>
#include <functional>

class QObject;

namespace morvex {

/// Opens `path` with the desktop's application for its type. `failed` runs on the GUI thread,
/// possibly after this returns, when no application can be found or the one found reports a
/// failure (QDesktopServices alone only knows whether a launcher started). While the launcher
/// runs it belongs to `owner` (none: to nobody, so closing a window does not stop it).
void openDocument(QObject* owner, const QString& path, std::function<void()> failed);

} // namespace morvex
