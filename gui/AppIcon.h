#pragma once

#include <QIcon>

namespace morvex {

/// The program's icon at every size it is drawn in (the same pictures as the installed hicolor
/// icons), for the windows and the notification-area icons.
QIcon applicationIcon();

/// The desktop entry's name without ".desktop"; a Wayland compositor matches windows to it.
inline constexpr char kDesktopFileName[] = "jp.qor.Morvex";

} // namespace morvex
