#include "windows/Editor_U.h"

#include "gui/Accessibility.h"
#include "gui/DesignedWindow.h"
#include "gui/Dialogs.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace morvex {
using namespace Qt::StringLiterals;

TEditorF::TEditorF(QWidget* parent)
    : QDialog(parent) {
    setObjectName(u"EditorF"_s);
    setWindowTitle(u"エディタの指定"_s);
    setDialogBorder(this, false);
    setFont(designedDialogFont());
    setFixedSize(298, 77);

    Label1 = makeLabel(this, u"Label1"_s, u"テキストエディタ(&T):"_s, 12, 6);
    TextEditor = new QLineEdit(u"notepad"_s, this);
    TextEditor->setObjectName(u"TextEditor"_s);
    TextEditor->setGeometry(12, 20, 209, 18);
    Label1->setBuddy(TextEditor);
    Button1 = makeButton(this, u"Button1"_s, u"参照(&B)..."_s, {228, 20, 57, 19});
    Button2 = makeButton(this, u"Button2"_s, u"OK"_s, {64, 48, 77, 21});
    Button3 = makeButton(this, u"Button3"_s, u"ｷｬﾝｾﾙ"_s, {156, 48, 77, 21});
    describeControl(
        TextEditor,
        u"リストファイルを開くテキストエディタ。notepad はデスクトップの既定のアプリケーションです"_s);
    describeControl(Button1, u"ファイルを選んで、テキストエディタにします"_s);
    describeControl(Button2, u"このテキストエディタを使います"_s);
    describeControl(Button3, u"変更せずに閉じます"_s);

    connect(Button1, &QPushButton::clicked, this, &TEditorF::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button3, &QPushButton::clicked, this, &QDialog::reject);
}

void TEditorF::Button1Click() {
    FileDialogRequest request;
    request.filter = u"ｱﾌﾟﾘｹｰｼｮﾝ (*.exe)|*.exe|全てのファイル (*.*)|*.*"_s;
    request.mustExist = true;
    // No program on Linux ends in ".exe": the first filter shows the folder's programs.
    request.executables = true;
    if (const std::optional<QString> chosen = runFileDialog(this, request))
        TextEditor->setText(*chosen);
}

void TEditorF::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        centreOnScreen(this);
}

void TEditorF::keyPressEvent(QKeyEvent* event) {
    // Esc is bound to no button here; it must not close the dialog either.
    if (!handleDialogKeys(event, focusWidget(), Button2, nullptr))
        QDialog::keyPressEvent(event);
}

} // namespace morvex
