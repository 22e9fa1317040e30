#include "windows/SrcEditU.h"

#include "gui/Accessibility.h"
#include "gui/DesignedWindow.h"
#include "gui/Dialogs.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

constexpr int kClientWidth = 348;
constexpr int kCollapsedHeight = 100;
// The designed outer heights are 126 and 217; the add area needs the difference.
constexpr int kExpandedHeight = kCollapsedHeight + (217 - 126);

} // namespace

TSrcEditF::TSrcEditF(QWidget* parent)
    : QDialog(parent) {
    setObjectName(u"SrcEditF"_s);
    setWindowTitle(u"変換ファイルリストの編集"_s);
    setDialogBorder(this, true);
    setFont(designedDialogFont());
    setFixedSize(kClientWidth, kCollapsedHeight);

    SrcList = new QListWidget(this);
    SrcList->setObjectName(u"SrcList"_s);
    SrcList->setGeometry(0, 0, 255, 100);
    setItemHeight(SrcList, 12);
    Button6 = makeButton(this, u"Button6"_s, u"閉じる(&C)"_s, {264, 8, 77, 21});
    Button4 = makeButton(this, u"Button4"_s, u"追加(&A)"_s, {264, 44, 77, 21});
    Button5 = makeButton(this, u"Button5"_s, u"削除(&D)"_s, {264, 72, 77, 21});
    buildAddArea();
    setAddAreaShown(false);
    describeControl(SrcList, u"変換するファイルとワイルドカードの一覧"_s, u"変換ファイルリスト"_s);
    describeControl(Button6, u"編集を終えて閉じます"_s);
    describeControl(Button4, u"追加するファイル名の入力欄を開きます"_s);
    describeControl(Button5, u"選んだ項目を一覧から削除します"_s);
    describeControl(AddFile, u"変換リストに追加するファイル名。ワイルドカード(*・?)も使えます"_s,
                    u"追加するファイル名"_s);
    describeControl(Button1, u"ファイルを選んで、追加するファイル名にします"_s);
    describeControl(Button2, u"入力したファイル名を一覧の最後に追加します"_s,
                    u"入力したファイル名を追加"_s);
    describeControl(Button3, u"追加せずに入力欄を閉じます"_s);

    connect(Button1, &QPushButton::clicked, this, &TSrcEditF::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TSrcEditF::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TSrcEditF::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TSrcEditF::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TSrcEditF::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &TSrcEditF::Button6Click);
}

void TSrcEditF::buildAddArea() {
    Label1 = makeLabel(this, u"Label1"_s, u"変換リストに追加するファイル名を入力してください。"_s,
                       4, 108);
    Label2 =
        makeLabel(this, u"Label2"_s, u"ワイルドカード(*・?)を使用することもできます。"_s, 4, 124);
    AddFile = new QLineEdit(this);
    AddFile->setObjectName(u"AddFile"_s);
    AddFile->setGeometry(4, 140, 255, 18);
    Button1 = makeButton(this, u"Button1"_s, u"参照(&B)..."_s, {264, 140, 77, 19});
    Button2 = makeButton(this, u"Button2"_s, u"追加"_s, {204, 164, 69, 21});
    Button3 = makeButton(this, u"Button3"_s, u"キャンセル"_s, {276, 164, 65, 21});
}

void TSrcEditF::setEntries(const QStringList& entries) {
    SrcList->clear();
    SrcList->addItems(entries);
}

QStringList TSrcEditF::entries() const {
    QStringList result;
    result.reserve(SrcList->count());
    for (int i = 0; i < SrcList->count(); ++i)
        result << SrcList->item(i)->text();
    return result;
}

void TSrcEditF::setAddAreaShown(bool shown) {
    m_expanded = shown;
    for (QWidget* w : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2),
                       static_cast<QWidget*>(AddFile), static_cast<QWidget*>(Button1),
                       static_cast<QWidget*>(Button2), static_cast<QWidget*>(Button3)})
        w->setVisible(shown);
    for (QWidget* w : {static_cast<QWidget*>(Button4), static_cast<QWidget*>(Button5),
                       static_cast<QWidget*>(SrcList)})
        w->setEnabled(!shown);
    setFixedSize(kClientWidth, shown ? kExpandedHeight : kCollapsedHeight);
}

void TSrcEditF::collapse() {
    setAddAreaShown(false);
    AddFile->clear();
}

void TSrcEditF::Button4Click() {
    setAddAreaShown(true);
    AddFile->setFocus();
}

void TSrcEditF::Button2Click() {
    if (!AddFile->text().isEmpty())
        SrcList->addItem(AddFile->text());
    collapse();
}

void TSrcEditF::Button3Click() {
    collapse();
}

void TSrcEditF::Button1Click() {
    FileDialogRequest request;
    request.title = u"追加ファイル選択"_s;
    request.filter = u"全てのファイル (*.*)|*.*"_s;
    request.mustExist = true;
    request.writable = true;
    if (const std::optional<QString> chosen = runFileDialog(this, request))
        AddFile->setText(*chosen);
}

void TSrcEditF::Button5Click() {
    const QList<QListWidgetItem*> selected = SrcList->selectedItems();
    if (selected.isEmpty())
        return;
    delete SrcList->takeItem(SrcList->row(selected.first()));
    SrcList->clearSelection();
}

void TSrcEditF::Button6Click() {
    close();
}

void TSrcEditF::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        centreOnScreen(this);
}

void TSrcEditF::keyPressEvent(QKeyEvent* event) {
    // While collapsed the add area's buttons are hidden, so Enter and Esc do nothing.
    if (!handleDialogKeys(event, focusWidget(), Button2, Button3))
        QDialog::keyPressEvent(event);
}

void editSourceList(QWidget* parent, QStringList& srcFile) {
    const QPointer<TSrcEditF> editor = new TSrcEditF(parent);
    editor->setEntries(srcFile);
    editor->exec();
    if (editor)
        srcFile = editor->entries();
    delete editor.data();
}

void editSourceList(QWidget* parent, QListWidget* srcFile) {
    QStringList entries;
    for (int i = 0; i < srcFile->count(); ++i)
        entries << srcFile->item(i)->text();
    editSourceList(parent, entries);
    srcFile->clear();
    srcFile->addItems(entries);
}

} // namespace morvex
