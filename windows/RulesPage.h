#pragma once

#include "settings/RulesGroup.h"

#include <QList>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace morvex {

/// The settings dialog's page "振り分け": the ordered rules of the Rules group, each an
/// upload-file pattern with lists, an encoding and markers of its own. The list shows the rules
/// in the order a pass tries them; the fields below edit the selected one.
class RulesPage : public QWidget {
    Q_OBJECT

public:
    explicit RulesPage(QWidget* parent = nullptr);

    /// Shows `rules` in their order, the first selected.
    void setRules(const QList<StoredRule>& rules);
    /// The rules as edited, in their order; a rule whose pattern is empty is left out, as the
    /// store's load would leave it out.
    QList<StoredRule> rules() const;

    QGroupBox* RulesGroup;
    QListWidget* RuleList;
    QPushButton* RuleAddBtn;
    QPushButton* RuleDelBtn;
    QPushButton* RuleUpBtn;
    QPushButton* RuleDownBtn;
    QLabel* RulePatternLbl;
    QLineEdit* RulePattern;
    QLabel* RuleFFileLbl;
    QLineEdit* RuleFFile;
    QLabel* RuleConvCharLbl;
    QLineEdit* RuleConvChar;
    QLabel* RuleHFileLbl;
    QLineEdit* RuleHFile;
    QLabel* RuleHeadConvCharLbl;
    QLineEdit* RuleHeadConvChar;
    QLabel* RuleEncodingLbl;
    QComboBox* RuleEncoding;
    QLabel* RuleEmptyLbl;

    void RuleAddBtnClick();
    void RuleDelBtnClick();
    void RuleUpBtnClick();
    void RuleDownBtnClick();

private:
    void buildList();
    void buildFields();
    void describeControls();
    void connectHandlers();
    void moveRule(int from, int to);
    void showRow(int row);
    void showSelected();
    void takeField(QString StoredRule::*field, const QString& text);

    QList<StoredRule> m_rules;
    bool m_showing = false; ///< while the fields are being filled from the selected rule
};

} // namespace morvex
