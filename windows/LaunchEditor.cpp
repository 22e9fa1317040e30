#include "windows/LaunchEditor.h"

#include "gui/Dialogs.h"
#include "gui/OpenDocument.h"

#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QWidget>

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

bool start(const QString& program, const QStringList& arguments) {
    if (starter())
        return starter()(program, arguments);
    // Detached: Qt starts it through an intermediate child that it reaps at once, so the
    // editor outlives Morvex and no zombie is left behind.
    return QProcess::startDetached(program, arguments);
}

void reportNoProgram(QWidget* owner, const QString& setting, const QString& path) {
    showStandardError(owner,
                      u"テキストエディタ「%1」を起動できませんでした。\n"
                      u"リストファイル: %2\n\n"
                      u"リストファイルビューアの「設定(S)」→「テキストエディタ(E)」で"
                      u"インストール済みのエディタを指定するか、"
                      u"このファイルをお使いのエディタで直接開いてください。"_s.arg(setting, path));
}

void reportNoApplication(QWidget* owner, const QString& path) {
    showStandardError(owner,
                      u"リストファイル %1 を開くアプリケーションが見つかりませんでした。\n\n"
                      u"テキストエディタをインストールしてこの種類のファイルに関連付けるか、"
                      u"リストファイルビューアの「設定(S)」→「テキストエディタ(E)」で"
                      u"使うエディタを指定してください。"
                      u"このファイルをお使いのエディタで直接開くこともできます。"_s.arg(path));
}

} // namespace

void setEditorStarter(EditorStarter replacement) {
    starter() = std::move(replacement);
}

bool LaunchEditor(const QString& editor, const QString& path, QWidget* owner) {
    // A program path with spaces in it is one program, not a command line.
    const QFileInfo whole(editor);
    if (!editor.isEmpty() && whole.isFile() && whole.isExecutable()) {
        if (start(editor, {path}))
            return true;
        reportNoProgram(owner, editor, path);
        return false;
    }
    const QStringList words = QProcess::splitCommand(editor);
    if (words.isEmpty())
        return true;
    if (meansNotepad(words)) {
        const QString file = QFileInfo(path).absoluteFilePath();
        // The answer comes from the desktop later; the box then goes over whatever still is.
        const QPointer<QWidget> over(owner);
        openDocument(nullptr, file, [over, file] { reportNoApplication(over.data(), file); });
        return true;
    }
    if (start(words.first(), words.mid(1) << path))
        return true;
    reportNoProgram(owner, editor, path);
    return false;
}

} // namespace morvex
