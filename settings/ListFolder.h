#pragma once

#include <QString>

namespace morvex {

/// The folder whose "*.mfl" and "*.mhl" the list fields start with (userListFolder of the engine,
/// which morvex-convert looks in too): the user's data folder
/// for Morvex, $XDG_DATA_HOME/morvex/ (~/.local/share/morvex/), with a trailing "/". It stands
/// for the program's folder of the designed platform, which an installed program's user may
/// not write. Not created here; see makeListFolder.
QString listFolder();

/// Creates the list folder (and its parents) when it is missing; false when it cannot be.
bool makeListFolder();

} // namespace morvex
