#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace morvex {

/// The source-file list editor: a list of upload files or patterns, kept exactly as typed, with
/// an add area that opens below the list.
class TSrcEditF : public QDialog {
    Q_OBJECT

public:
    explicit TSrcEditF(QWidget* parent = nullptr);

    void setEntries(const QStringList& entries);
    QStringList entries() const;
    bool isExpanded() const { return m_expanded; }

    QListWidget* SrcList;
    QPushButton* Button6;
    QPushButton* Button4;
    QPushButton* Button5;
    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* AddFile;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;

    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildAddArea();
    void setAddAreaShown(bool shown);
    void collapse();

    bool m_expanded = false;
};

/// The main window's hand-over: the editor gets a copy of `srcFile`, runs modally, and however
/// it is closed its list replaces the entries of `srcFile`.
void editSourceList(QWidget* parent, QStringList& srcFile);

/// The same hand-over for the main window's list box.
void editSourceList(QWidget* parent, QListWidget* srcFile);

} // namespace morvex
