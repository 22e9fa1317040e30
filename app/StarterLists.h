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

/// The starter lists that `folder` lacks by name (a file of that name, whatever it holds,
/// counts as there).
QStringList missingStarterLists(const QString& folder);

/// When `folder` holds no list, asks the user (in a box over `window`) whether to put the
/// starter lists there, and does so on yes; a failure is said in a box.
void offerStarterLists(QWidget* window, const QString& folder);

/// What putting the starter lists into a folder did.
struct StarterOutcome {
    QStringList written; ///< paths made
    QStringList kept;    ///< paths already there, left as they were
    QString error;       ///< why a list could not be made; empty when none failed
};

/// Puts the starter lists into `folder` (made when missing), never over a file already there.
/// Nothing is left half written.
StarterOutcome writeStarterLists(const QString& folder);

/// Says in a box over `window` what writeStarterLists did, `note` (when not empty) after it;
/// a failure in the error box.
void reportStarterLists(QWidget* window, const StarterOutcome& outcome, const QString& note);

} // namespace morvex
