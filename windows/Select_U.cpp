#include "windows/Select_U.h"

#include "gui/DesignedWindow.h"
#include "windows/LaunchEditor.h"
#include "windows/ListModel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace morvex {
using namespace Qt::StringLiterals;

TSelectListF::TSelectListF(QWidget* parent)
    : QDialog(parent) {
    setObjectName(u"SelectListF"_s);
    setWindowTitle(u"リストファイルを編集"_s);
    setDialogBorder(this, true);
    setFont(designedDialogFont());
    setFixedSize(381, 240);

    Label1 = makeLabel(this, u"Label1"_s,
                       u"編集するリストファイルを選択してください（複数選択可）"_s, 4, 4);
    FileList = new QListWidget(this);
    FileList->setObjectName(u"FileList"_s);
    FileList->setGeometry(0, 20, 285, 220);
    FileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Long paths are cut in their folders, never in the file name; the row's tooltip is whole.
    FileList->setItemDelegate(new PathRowDelegate(12, FileList));
    FileList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FileList->setUniformItemSizes(true);
    TextEditBtn = makeButton(this, u"TextEditBtn"_s, u"編集(&E)"_s, {296, 20, 75, 21});
    CalcelBtn = makeButton(this, u"CalcelBtn"_s, u"ｷｬﾝｾﾙ"_s, {296, 44, 75, 21});

    connect(TextEditBtn, &QPushButton::clicked, this, &TSelectListF::TextEditBtnClick);
    connect(CalcelBtn, &QPushButton::clicked, this, &TSelectListF::CalcelBtnClick);
}

void TSelectListF::TextEditBtnClick() {
    for (int i = 0; i < FileList->count(); ++i) {
        // An editor that cannot start fails alike for every file: said once is enough.
        if (FileList->item(i)->isSelected() &&
            !LaunchEditor(TextEditorLbl, FileList->item(i)->text(), this))
            return;
    }
}

void TSelectListF::CalcelBtnClick() {
    close();
}

void TSelectListF::keyPressEvent(QKeyEvent* event) {
    if (!handleDialogKeys(event, focusWidget(), TextEditBtn, CalcelBtn))
        QDialog::keyPressEvent(event);
}

} // namespace morvex
