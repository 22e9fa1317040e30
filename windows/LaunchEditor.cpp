#include "LaunchEditor.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace morvex {
using namespace Qt::StringLiterals;
namespace {

EditorStarter& starter() {
    static EditorStarter replacement;
    return replacement;
}

bool meansNotepad(const QStringList& words) {
    return words.size() == 1 && (words[0].compare(u"notepad"_s, Qt::CaseInsensitive) == 0 ||
                                 words[0].compare(u"notepad.exe"_s, Qt::CaseInsensitive) == 0);
}

void start(const QString& program, const QStringList& arguments) {
    if (starter()) {
        starter()(program, arguments);
        return;
    }
    // Detached: Qt starts it through an intermediate child that it reaps at once, so the
    // editor outlives Morvex and no zombie is left behind.
    QProcess::startDetached(program, arguments);
}

} // namespace

void setEditorStarter(EditorStarter replacement) {
    starter() = std::move(replacement);
}

void LaunchEditor(const QString& editor, const QString& path) {
    // A program path with spaces in it is one program, not a command line.
    const QFileInfo whole(editor);
    if (!editor.isEmpty() && whole.isFile() && whole.isExecutable()) {
        start(editor, {path});
        return;
    }
    const QStringList words = QProcess::splitCommand(editor);
    if (words.isEmpty())
        return;
    if (meansNotepad(words)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
        return;
    }
    start(words.first(), words.mid(1) << path);
}

} // namespace morvex
