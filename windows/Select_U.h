#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QListWidget;
class QPushButton;

namespace morvex {

/// The list-file selection dialog: every list file of the viewer's pattern, all selected; each
/// press of 編集 hands the selected ones to the editor, and the dialog stays open.
class TSelectListF : public QDialog {
    Q_OBJECT

public:
    explicit TSelectListF(QWidget* parent = nullptr);

    QLabel* Label1;
    QListWidget* FileList;
    QPushButton* TextEditBtn;
    QPushButton* CalcelBtn;

    /// The editor command the rows are handed to (the viewer's `TextEditorLbl`).
    QString TextEditorLbl;

    void TextEditBtnClick();
    void CalcelBtnClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace morvex
