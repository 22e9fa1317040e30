#include "windows/RulesPage.h"

#include "engine/Encoding.h"
#include "gui/Accessibility.h"
#include "gui/DesignedWindow.h"
#include "settings/EngineBytes.h"
#include "windows/SjisByteValidator.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <initializer_list>
#include <iterator>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

// The label column's right edge, where the fields begin, and the markers' column.
constexpr int kFieldLeft = 60;
constexpr int kMarkerLabelRight = 232;
constexpr int kCaptionGap = 2;
constexpr int kGroupInnerRight = 265;
// A new rule's pattern, selected in its field so that typing replaces it.
const QString kNewPattern = u"*.up"_s;

// The encodings a rule may name, as the settings file spells them; the last, empty, is the
// main choice of the "文字コード" page.
const std::pair<const char*, EncodingChoice> kChoices[] = {
    {"自動", EncodingChoice::Auto},
    {"Shift-JIS", EncodingChoice::ShiftJis},
    {"UTF-8", EncodingChoice::Utf8},
};
constexpr int kMainEncoding = int(std::size(kChoices));

// The combo box row a stored encoding shows as: a text the pass does not take means the main
// choice, as the pass reads it.
int encodingRow(const QString& stored) {
    const std::optional<EncodingChoice> choice = parseEncodingChoice(bytes(stored.trimmed()));
    for (int row = 0; row < kMainEncoding; ++row)
        if (choice == kChoices[row].second)
            return row;
    return kMainEncoding;
}

QString rowText(int row, const StoredRule& rule) {
    return u"%1: %2"_s.arg(row + 1).arg(rule.Pattern);
}

} // namespace

RulesPage::RulesPage(QWidget* parent)
    : QWidget(parent) {
    setObjectName(u"TabSheet5"_s);
    RulesGroup = makeGroupBox(this, u"RulesGroup"_s,
                              u"アップロードファイルごとのリストと文字コード"_s, {4, 4, 273, 159});
    buildList();
    buildFields();
    describeControls();
    connectHandlers();
    showSelected();
}

void RulesPage::buildList() {
    RuleList = named(new QListWidget(RulesGroup), u"RuleList"_s);
    RuleList->setGeometry(8, 16, 189, 56);
    setItemHeight(RuleList, 12);
    RuleAddBtn = makeButton(RulesGroup, u"RuleAddBtn"_s, u"追加"_s, {201, 16, 31, 18});
    RuleUpBtn = makeButton(RulesGroup, u"RuleUpBtn"_s, u"上へ"_s, {234, 16, 31, 18});
    RuleDelBtn = makeButton(RulesGroup, u"RuleDelBtn"_s, u"削除"_s, {201, 36, 31, 18});
    RuleDownBtn = makeButton(RulesGroup, u"RuleDownBtn"_s, u"下へ"_s, {234, 36, 31, 18});
}

void RulesPage::buildFields() {
    RulePatternLbl = makeLabel(RulesGroup, u"RulePatternLbl"_s, u"対象ﾌｧｲﾙ"_s, 8, 80);
    RulePattern = makeEdit(RulesGroup, u"RulePattern"_s, QString(), {kFieldLeft, 76, 205, 18});
    RuleFFileLbl = makeLabel(RulesGroup, u"RuleFFileLbl"_s, u"ﾌｯﾀﾘｽﾄ"_s, 8, 100);
    RuleFFile = makeEdit(RulesGroup, u"RuleFFile"_s, QString(), {kFieldLeft, 96, 141, 18});
    RuleConvCharLbl = makeLabel(RulesGroup, u"RuleConvCharLbl"_s, u"記号"_s, 206, 100);
    RuleConvChar = makeEdit(RulesGroup, u"RuleConvChar"_s, QString(), {234, 96, 31, 18});
    RuleHFileLbl = makeLabel(RulesGroup, u"RuleHFileLbl"_s, u"ﾍｯﾀﾞﾘｽﾄ"_s, 8, 120);
    RuleHFile = makeEdit(RulesGroup, u"RuleHFile"_s, QString(), {kFieldLeft, 116, 141, 18});
    RuleHeadConvCharLbl = makeLabel(RulesGroup, u"RuleHeadConvCharLbl"_s, u"記号"_s, 206, 120);
    RuleHeadConvChar = makeEdit(RulesGroup, u"RuleHeadConvChar"_s, QString(), {234, 116, 31, 18});
    RuleEncodingLbl = makeLabel(RulesGroup, u"RuleEncodingLbl"_s, u"文字ｺｰﾄﾞ"_s, 8, 140);
    RuleEncoding = named(new QComboBox(RulesGroup), u"RuleEncoding"_s);
    RuleEncoding->setGeometry(kFieldLeft, 136, 85, 18);
    for (const auto& [caption, choice] : kChoices)
        RuleEncoding->addItem(QString::fromUtf8(caption));
    RuleEncoding->addItem(u"(共通)"_s);
    RuleEmptyLbl = makeLabel(RulesGroup, u"RuleEmptyLbl"_s, u"空欄は全体の設定"_s, 150, 140);
    // Each caption labels its field; a screen reader on Linux names a combo box by its label.
    const std::pair<QLabel*, QWidget*> labelled[] = {
        {RulePatternLbl, RulePattern},           {RuleFFileLbl, RuleFFile},
        {RuleConvCharLbl, RuleConvChar},         {RuleHFileLbl, RuleHFile},
        {RuleHeadConvCharLbl, RuleHeadConvChar}, {RuleEncodingLbl, RuleEncoding},
    };
    for (const auto& [label, field] : labelled)
        label->setBuddy(field);
    // The pass's own check of a marker, as the main window's marker fields have it.
    limitToMarker(RuleConvChar);
    limitToMarker(RuleHeadConvChar);
    // The substitute font is wider than the designed one: no caption runs into its field.
    for (QLabel* label : {RulePatternLbl, RuleFFileLbl, RuleHFileLbl, RuleEncodingLbl})
        endCaptionBefore(label, kFieldLeft, kCaptionGap);
    for (QLabel* label : {RuleConvCharLbl, RuleHeadConvCharLbl})
        endCaptionBefore(label, kMarkerLabelRight, kCaptionGap);
    endCaptionBefore(RuleEmptyLbl, kGroupInnerRight, 0);
}

void RulesPage::describeControls() {
    describeControl(RuleList,
                    u"上から順に調べ、ファイルに最初に合った規則のリストと文字コードを使います"_s,
                    u"振り分けの規則"_s);
    describeControl(RuleAddBtn, u"新しい規則を一覧の最後に加えます"_s, u"規則を追加"_s);
    describeControl(RuleDelBtn, u"選んだ規則を一覧から削除します"_s, u"規則を削除"_s);
    describeControl(RuleUpBtn, u"選んだ規則を一つ上へ移し、先に調べるようにします"_s,
                    u"規則を上へ"_s);
    describeControl(RuleDownBtn, u"選んだ規則を一つ下へ移し、後に調べるようにします"_s,
                    u"規則を下へ"_s);
    describeControl(RulePattern,
                    u"規則が対象とするアップロードファイル。ワイルドカード(*・?)が使え、/ を含むと"
                    u"フルパスと、含まないとファイル名と比べます"_s,
                    u"規則の対象ﾌｧｲﾙ"_s);
    describeControl(RuleFFile, u"この規則のフッタリスト。空欄なら全体のフッタリストを使います"_s,
                    u"規則のﾌｯﾀﾘｽﾄ"_s);
    describeControl(RuleHFile, u"この規則のヘッダリスト。空欄なら全体のヘッダリストを使います"_s,
                    u"規則のﾍｯﾀﾞﾘｽﾄ"_s);
    describeControl(RuleConvChar,
                    u"この規則でフッタに変換する行頭の文字。空欄なら全体の記号を使います"_s,
                    u"規則のﾌｯﾀに変換する行頭の文字"_s);
    describeControl(RuleHeadConvChar,
                    u"この規則でヘッダに変換する行頭の文字。空欄なら全体の記号を使います"_s,
                    u"規則のﾍｯﾀﾞに変換する行頭の文字"_s);
    describeControl(RuleEncoding,
                    u"この規則のファイルの文字コード。(共通) なら「文字コード」ページの設定です"_s,
                    u"規則の文字コード"_s);
}

void RulesPage::connectHandlers() {
    connect(RuleAddBtn, &QPushButton::clicked, this, &RulesPage::RuleAddBtnClick);
    connect(RuleDelBtn, &QPushButton::clicked, this, &RulesPage::RuleDelBtnClick);
    connect(RuleUpBtn, &QPushButton::clicked, this, &RulesPage::RuleUpBtnClick);
    connect(RuleDownBtn, &QPushButton::clicked, this, &RulesPage::RuleDownBtnClick);
    connect(RuleList, &QListWidget::currentRowChanged, this, &RulesPage::showSelected);
    const std::pair<QLineEdit*, QString StoredRule::*> fields[] = {
        {RulePattern, &StoredRule::Pattern},           {RuleFFile, &StoredRule::FooterList},
        {RuleHFile, &StoredRule::HeaderList},          {RuleConvChar, &StoredRule::FooterMarker},
        {RuleHeadConvChar, &StoredRule::HeaderMarker},
    };
    for (const auto& [edit, field] : fields)
        connect(edit, &QLineEdit::textChanged, this,
                [this, member = field](const QString& text) { takeField(member, text); });
    connect(RuleEncoding, &QComboBox::activated, this, [this](int row) {
        takeField(&StoredRule::Encoding,
                  row < kMainEncoding ? QString::fromUtf8(encodingChoiceName(kChoices[row].second))
                                      : QString());
    });
}

void RulesPage::setRules(const QList<StoredRule>& rules) {
    m_rules = rules;
    RuleList->clear();
    for (int row = 0; row < m_rules.size(); ++row)
        RuleList->addItem(rowText(row, m_rules[row]));
    RuleList->setCurrentRow(m_rules.isEmpty() ? -1 : 0);
    showSelected();
}

QList<StoredRule> RulesPage::rules() const {
    QList<StoredRule> kept;
    for (const StoredRule& rule : m_rules)
        if (!rule.Pattern.isEmpty())
            kept.append(rule);
    return kept;
}

void RulesPage::takeField(QString StoredRule::*field, const QString& text) {
    const int row = RuleList->currentRow();
    if (m_showing || row < 0)
        return;
    m_rules[row].*field = text;
    if (field == &StoredRule::Pattern)
        showRow(row);
}

void RulesPage::showRow(int row) {
    RuleList->item(row)->setText(rowText(row, m_rules[row]));
}

void RulesPage::showSelected() {
    const int row = RuleList->currentRow();
    const bool chosen = row >= 0;
    const StoredRule rule = chosen ? m_rules[row] : StoredRule();
    m_showing = true;
    RulePattern->setText(rule.Pattern);
    RuleFFile->setText(rule.FooterList);
    RuleHFile->setText(rule.HeaderList);
    RuleConvChar->setText(rule.FooterMarker);
    RuleHeadConvChar->setText(rule.HeaderMarker);
    RuleEncoding->setCurrentIndex(encodingRow(rule.Encoding));
    m_showing = false;
    for (QWidget* field :
         std::initializer_list<QWidget*>{RulePattern, RuleFFile, RuleHFile, RuleConvChar,
                                         RuleHeadConvChar, RuleEncoding, RuleDelBtn})
        field->setEnabled(chosen);
    RuleUpBtn->setEnabled(row > 0);
    RuleDownBtn->setEnabled(chosen && row + 1 < m_rules.size());
}

void RulesPage::RuleAddBtnClick() {
    StoredRule rule;
    rule.Pattern = kNewPattern;
    m_rules.append(rule);
    RuleList->addItem(rowText(int(m_rules.size()) - 1, rule));
    RuleList->setCurrentRow(int(m_rules.size()) - 1);
    RulePattern->setFocus();
    RulePattern->selectAll();
}

void RulesPage::RuleDelBtnClick() {
    const int row = RuleList->currentRow();
    if (row < 0)
        return;
    m_rules.removeAt(row);
    delete RuleList->takeItem(row);
    for (int later = row; later < m_rules.size(); ++later)
        showRow(later);
    RuleList->setCurrentRow(std::min(row, int(m_rules.size()) - 1));
    showSelected();
}

void RulesPage::moveRule(int from, int to) {
    if (from < 0 || to < 0 || to >= m_rules.size())
        return;
    m_rules.move(from, to);
    showRow(from);
    showRow(to);
    RuleList->setCurrentRow(to);
}

void RulesPage::RuleUpBtnClick() {
    moveRule(RuleList->currentRow(), RuleList->currentRow() - 1);
}

void RulesPage::RuleDownBtnClick() {
    moveRule(RuleList->currentRow(), RuleList->currentRow() + 1);
}

} // namespace morvex
