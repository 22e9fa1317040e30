#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace morvex {

/// The starter lists a new user is offered: a footer and a header list, Shift-JIS with CR LF,
/// commented in Japanese, whose entries show each escape and name nobody.
struct StarterList {
    QString name; ///< the file name in the list folder
    QByteArray bytes;
};
QList<StarterList> starterLists();

/// True when `folder` holds no footer or header list ("*.mfl", "*.mhl", any case).
bool holdsNoList(const QString& folder);

/// When `folder` holds no list, asks the user (in a box over `window`) whether to put the
/// starter lists there, and does so on yes; a failure is said in a box.
void offerStarterLists(QWidget* window, const QString& folder);

/// Puts the starter lists into `folder` (made when missing), never over a file already there.
/// Returns the paths written; on a failure, nothing is left half written and `error` says why.
QStringList writeStarterLists(const QString& folder, QString* error);

} // namespace morvex
