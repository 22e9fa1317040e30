#pragma once

#include <QIcon>
#include <functional>

namespace morvex {

/// An icon that `make` makes when it is first drawn or measured, not now: for the pictures of
/// controls a window may never show, which would otherwise be read before the window appears.
/// It says it is not null without asking, so `make` must give a picture.
QIcon lazyIcon(std::function<QIcon()> make);

} // namespace morvex
