#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace morvex {

/// The editor dialog: the command of the text editor that the list viewer hands list files to.
class TEditorF : public QDialog {
    Q_OBJECT

public:
    explicit TEditorF(QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* TextEditor;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;

    /// Browses for the program; a chosen file replaces the edit's text with its full path.
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace morvex
