#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace morvex {

/// A modal message box with the stop icon (the warning icon for the caption "警告"), the given
/// caption and one OK button.
void showStopBox(QWidget* parent, const QString& caption, const QString& text);

/// A modal message box with the information icon, the given caption and one OK button.
void showInfoBox(QWidget* parent, const QString& caption, const QString& text);

/// The toolkit's standard error box: the stop box with the caption "Morvex".
void showStandardError(QWidget* parent, const QString& text);

/// The text as a box shows it: a path breaks only after one of its "/", never inside a folder
/// or file name.
QString boxText(const QString& text);

/// A modal question with the question icon and the buttons はい and いいえ (いいえ the default,
/// as Esc also answers); true for はい.
bool askYesNo(QWidget* parent, const QString& caption, const QString& text);

/// Test seam: answers every question until reset (an empty function restores real boxes).
using QuestionSink = std::function<bool(const QString& caption, const QString& text)>;
void setQuestionSink(QuestionSink sink);

/// Replaces every message box until reset (an empty function restores real boxes). Used by tests
/// and by the desktop-less mode, which writes the boxes to standard error instead.
using MessageSink = std::function<void(const QString& caption, const QString& text)>;
void setMessageSink(MessageSink sink);

/// The designed description of a file dialog.
struct FileDialogRequest {
    QString title;
    QString filter;         ///< designed form: "Text (*.x)|*.x|All (*.*)|*.*"
    bool save = false;      ///< a save dialog instead of an open dialog
    bool mustExist = false; ///< path and file must exist (open dialogs)
    bool writable = false;  ///< a read-only file is not accepted (open dialogs)
    /// The first filter shows the folder's executable files, whatever its designed text
    /// ("*.exe;*.com" names no Linux program).
    bool executables = false;
    QString startDir;
};

/// Converts the designed filter to Qt's form ("Text (*.x);;All (*)"); "*.*" matches every name.
QString qtFileFilter(const QString& designed);

/// Shows the dialog modally; the chosen full path, or nothing when cancelled.
std::optional<QString> runFileDialog(QWidget* parent, const FileDialogRequest& request);

/// Test seam: the next runFileDialog call returns this answer without showing anything
/// (std::nullopt answers as a cancel). Each call consumes one queued answer.
void queueFileDialogAnswer(std::optional<QString> answer);

/// The request of the last dialog run (shown or answered from the queue), for tests.
FileDialogRequest lastFileDialogRequest();

} // namespace morvex
