#include "windows/Set_U.h"

#include "controls/DisRangeTrackBar.h"
#include "controls/ExLabel.h"
#include "gui/Accessibility.h"
#include "gui/DesignedWindow.h"
#include "settings/RulesGroup.h"
#include "settings/SettingFGroups.h"
#include "windows/RulesPage.h"

#include <QAccessibleWidget>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>

namespace morvex {
using namespace Qt::StringLiterals;

TUpDown::TUpDown(QWidget* parent)
    : QWidget(parent)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this)) {
    for (QToolButton* button : {m_up, m_down}) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    m_up->setAccessibleDescription(u"値を1つ増やします"_s);
    m_down->setAccessibleDescription(u"値を1つ減らします"_s);
    connect(m_up, &QToolButton::clicked, this, [this] { step(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
}

void TUpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}

void TUpDown::setAssociate(QLineEdit* buddy) {
    if (m_buddy)
        m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (m_buddy) {
        m_buddy->installEventFilter(this);
        setPosition(m_position);
    }
}

void TUpDown::setRange(int min, int max) {
    m_min = min;
    m_max = max;
    setPosition(m_position);
}

int TUpDown::clamped(int value) const {
    return std::clamp(value, m_min, m_max);
}

int TUpDown::position() const {
    if (m_buddy) {
        bool ok = false;
        const int typed = m_buddy->text().trimmed().toInt(&ok);
        if (ok)
            m_position = clamped(typed);
    }
    return m_position;
}

void TUpDown::setPosition(int value) {
    m_position = clamped(value);
    if (m_buddy)
        m_buddy->setText(QString::number(m_position));
}

void TUpDown::step(int delta) {
    int next = position() + delta;
    if (next > m_max)
        next = m_wrap ? m_min : m_max;
    else if (next < m_min)
        next = m_wrap ? m_max : m_min;
    setPosition(next);
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

namespace {

constexpr int kBracketLeft = 216; // where "(" stands before the seconds
constexpr int kDesignedTabSpace = 8;
constexpr int kNarrowestTabs = 70; // percent of the designed font's width

// The toolkit's style pads each tab wider than the designed tab control: with a narrow padding
// all four pages' tabs fit in the dialog's fixed width, without scroll buttons. The tabs are
// measured and painted by the one style the desktop set (a style of our own would measure with
// other metrics than the desktop's paints with); only the padding is taken in.
class DesignedTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    // How much narrower than the style's each tab is.
    int trimmed(int index) const {
        QStyleOptionTab option;
        initStyleOption(&option, index);
        const int padding = style()->pixelMetric(QStyle::PM_TabBarTabHSpace, &option, this);
        return std::max(0, padding - kDesignedTabSpace);
    }

public:
    /// The width the tabs take side by side.
    int tabsWidth() const {
        int width = 0;
        for (int index = 0; index < count(); ++index)
            width += tabSizeHint(index).width();
        return width;
    }

protected:
    QSize tabSizeHint(int index) const override {
        return QTabBar::tabSizeHint(index) - QSize(trimmed(index), 0);
    }
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }

    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        const auto paintTab = [&](int index) {
            QStyleOptionTab option;
            initStyleOption(&option, index);
            painter.drawControl(QStyle::CE_TabBarTabShape, option);
            // The style fits the caption into the tab less its padding: the caption's box is
            // laid out in the tab as wide as the style would have made it, centred on this one.
            const int trim = trimmed(index);
            option.rect.adjust(-trim / 2, 0, trim - trim / 2, 0);
            painter.drawControl(QStyle::CE_TabBarTabLabel, option);
        };
        for (int index = 0; index < count(); ++index)
            if (index != currentIndex())
                paintTab(index);
        // The current tab overlaps its neighbours: drawn last, as the toolkit does.
        if (currentIndex() >= 0)
            paintTab(currentIndex());
    }
};

// One tab as a screen reader meets it: a page tab named by its caption, described by its
// What's This text, pressed to show its page.
class AccessibleTab : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    AccessibleTab(QTabBar* bar, int index)
        : m_bar(bar)
        , m_index(index) {}

    bool isValid() const override { return m_bar && m_index < m_bar->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_bar ? m_bar->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(m_bar);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        if (!isValid())
            return {};
        if (t == QAccessible::Name)
            return spokenCaption(m_bar->tabText(m_index));
        if (t == QAccessible::Description)
            return m_bar->tabWhatsThis(m_index);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid())
            return state;
        state.selectable = true;
        state.selected = m_bar->currentIndex() == m_index;
        state.focused = state.selected && m_bar->hasFocus();
        state.invisible = !m_bar->isVisible();
        return state;
    }
    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect tab = m_bar->tabRect(m_index);
        return QRect(m_bar->mapToGlobal(tab.topLeft()), tab.size());
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction() && isValid())
            m_bar->setCurrentIndex(m_index);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QTabBar> m_bar;
    int m_index;
};

// The tab strip: named, as Qt names it, by the current tab's caption, and described as its widget
// is (Qt's own gives no description), with one child per tab.
class AccessibleTabBar : public QAccessibleWidget {
public:
    explicit AccessibleTabBar(QTabBar* bar)
        : QAccessibleWidget(bar, QAccessible::PageTabList) {}
    ~AccessibleTabBar() override {
        for (const QAccessible::Id id : std::as_const(m_tabs))
            QAccessible::deleteAccessibleInterface(id);
    }

    QTabBar* bar() const { return static_cast<QTabBar*>(widget()); }
    int childCount() const override { return bar()->count(); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= bar()->count())
            return nullptr;
        while (m_tabs.size() <= index)
            m_tabs << QAccessible::registerAccessibleInterface(
                new AccessibleTab(bar(), int(m_tabs.size())));
        return QAccessible::accessibleInterface(m_tabs[index]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (qsizetype i = 0; i < m_tabs.size(); ++i)
            if (QAccessible::accessibleInterface(m_tabs[i]) == child)
                return int(i);
        return -1;
    }
    QString text(QAccessible::Text t) const override {
        QString value = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && value.isEmpty())
            value = spokenCaption(bar()->tabText(bar()->currentIndex()));
        return value;
    }

private:
    mutable QList<QAccessible::Id> m_tabs;
};

QAccessibleInterface* accessibleTabBarFactory(const QString&, QObject* object) {
    auto* bar = dynamic_cast<DesignedTabBar*>(object);
    return bar ? new AccessibleTabBar(bar) : nullptr;
}

class DesignedTabWidget : public QTabWidget {
public:
    explicit DesignedTabWidget(QWidget* parent)
        : QTabWidget(parent) {
        static const bool factoryInstalled = [] {
            QAccessible::installFactory(accessibleTabBarFactory);
            return true;
        }();
        Q_UNUSED(factoryInstalled);
        auto* bar = new DesignedTabBar(this);
        // The caption is never cut: the narrower tab still holds all of it.
        bar->setElideMode(Qt::ElideNone);
        setTabBar(bar);
    }

    // Five pages' captions are wider than the designed dialog: the tabs' font is condensed just
    // enough that every tab stays in view, whole, without scroll buttons.
    void fitTabs() {
        auto* bar = static_cast<DesignedTabBar*>(tabBar());
        const int natural = bar->tabsWidth();
        if (natural <= width())
            return;
        // From the proportional guess down, as each stretch tried loads a font of its own; the
        // tabs' padding does not shrink, so the guess is never too narrow.
        QFont font = bar->font();
        for (int stretch = std::max(kNarrowestTabs, 100 * width() / natural);
             stretch >= kNarrowestTabs; --stretch) {
            font.setStretch(stretch);
            bar->setFont(font);
            if (bar->tabsWidth() <= width())
                return;
        }
    }
};
constexpr int kBracketGap = 2;

QLineEdit* makeHiddenText(QWidget* parent, const QString& name, const QString& text) {
    QLineEdit* edit = makeEdit(parent, name, text, {});
    edit->hide();
    return edit;
}

TExLabel* makeExLabel(QWidget* parent, const QString& name, const QString& caption, int left,
                      int top) {
    auto* label = named(new TExLabel(caption, parent), name);
    label->move(left, top);
    // Tab pages can be lighter than the button face the label would fill itself with.
    label->setTransparent(true);
    return label;
}

// Both radio buttons may be unchecked, which Qt's exclusive radio buttons refuse.
void setRadioChecked(QRadioButton* button, bool checked) {
    button->setAutoExclusive(false);
    button->setChecked(checked);
    button->setAutoExclusive(true);
}

// An edit's background: the window colour while usable, the button face otherwise.
void setEditUsable(QLineEdit* edit, bool usable) {
    edit->setEnabled(usable);
    QPalette palette = edit->palette();
    const QPalette& system = edit->window()->palette();
    palette.setColor(QPalette::Base, toQColor(usable ? clWindow : clBtnFace, system));
    edit->setPalette(palette);
}

} // namespace

TSettingF::TSettingF(QWidget* parent, LoadWrites writes)
    : QDialog(parent)
    , m_loadWrites(writes) {
    setObjectName(u"SettingF"_s);
    setWindowTitle(u"設定"_s);
    setDesignedDialog(this, {290, 228}, false);

    PageControl1 = named(new DesignedTabWidget(this), u"PageControl1"_s);
    PageControl1->setGeometry(0, 0, 289, 193);
    buildGeneralPage();
    buildAppRunPage();
    buildWatchPage();
    buildEncodingPage();
    TabSheet5 = new RulesPage;
    PageControl1->addTab(TabSheet5, u"振り分け"_s);
    static_cast<DesignedTabWidget*>(PageControl1)->fitTabs();
    PageControl1->setCurrentIndex(0);

    OkBtn = makeButton(this, u"OkBtn"_s, u"OK"_s, {124, 201, 77, 21});
    CancelBtn = makeButton(this, u"CancelBtn"_s, u"ｷｬﾝｾﾙ"_s, {208, 201, 77, 21});

    OpenDialog1.filter = u"実行ファイル (*.exe;*.com)|*.exe;*.com|全てのファイル (*.*)|*.*"_s;
    OpenDialog1.mustExist = true;
    OpenDialog1.executables = true;

    connectHandlers();
    describeControls();
    tabToCheckedRadio({ShowResult, NotShowResult});
    tabToCheckedRadio({AutoRadio, SjisRadio, Utf8Radio});
    FormCreate();
}

void TSettingF::describeControls() {
    const QString pages[] = {
        u"変換結果の表示とフッタの行末揃え"_s,
        u"/aｵﾌﾟｼｮﾝで起動したとき、変換の前後に実行するアプリケーション"_s,
        u"/wｵﾌﾟｼｮﾝで起動したとき、動いている間ファイルを監視するアプリケーション"_s,
        u"アップロードファイルの文字コードとヘッダ・フッタの抽選"_s,
        u"アップロードファイルごとに使うリスト、文字コード、記号の規則"_s,
    };
    for (int page = 0; page < PageControl1->count(); ++page)
        PageControl1->tabBar()->setTabWhatsThis(page, pages[page]);
    PageControl1->setAccessibleName(u"設定"_s);
    const std::pair<QWidget*, QString> described[] = {
        {PageControl1,
         u"結果の表示、/a・/wｵﾌﾟｼｮﾝ起動時の実行、文字コード、ファイルごとの振り分けの設定"_s},
        {PageControl1->tabBar(),
         u"一般、/a・/wｵﾌﾟｼｮﾝ起動時、文字コード、振り分けの各ページを選びます"_s},
        {ShowResult, u"変換したファイルごとに、挿入したヘッダとフッタの数を表示します"_s},
        {GoByClose, u"変換結果の表示を、選んだ秒数が経つと自動的に閉じます"_s},
        {WaitTime, u"変換結果の表示を閉じるまでの秒数 (0～10秒)"_s},
        {NotShowResult, u"変換結果を表示せずに変換を続けます"_s},
        {CompListChk, u"フッタを挿入するとき、各行の末尾を指定した文字目に揃えます"_s},
        {CompListCount, u"フッタの行末を揃える位置 (0～80文字目)"_s},
        {BeforeRunChk, u"/aｵﾌﾟｼｮﾝで起動したとき、変換の前にアプリケーションを実行します"_s},
        {BeforeApp, u"変換の前に実行するアプリケーションのコマンド"_s},
        {AfterRunChk, u"/aｵﾌﾟｼｮﾝで起動したとき、変換の後にアプリケーションを実行します"_s},
        {AfterApp, u"変換の後に実行するアプリケーションのコマンド"_s},
        {WatchApp,
         u"/wｵﾌﾟｼｮﾝで起動したとき、このアプリケーションが動いている間、ファイルの更新を監視します"_s},
        {AutoRadio,
         u"アップロードファイルごとに、UTF-8 か Shift-JIS かを中身から判定して読み書きします"_s},
        {SjisRadio, u"アップロードファイルを Shift-JIS として読み書きします"_s},
        {Utf8Radio, u"アップロードファイルを UTF-8 として読み書きします"_s},
        {NoRepeatChk, u"全項目を選び終えるまで、同じヘッダやフッタを選びません"_s},
        {OkBtn, u"設定を保存して閉じます"_s},
        {CancelBtn, u"設定を保存せずに閉じます"_s},
    };
    for (const auto& [control, description] : described)
        describeControl(control, description);
    // The three browse buttons share a caption; their names say which program each chooses.
    describeControl(BeforeBtn, u"ファイルを選んで、変換前に実行するアプリケーションにします"_s,
                    u"変換前に実行するｱﾌﾟﾘｹｰｼｮﾝを参照"_s);
    describeControl(AfterBtn, u"ファイルを選んで、変換後に実行するアプリケーションにします"_s,
                    u"変換後に実行するｱﾌﾟﾘｹｰｼｮﾝを参照"_s);
    describeControl(WatchBtn, u"ファイルを選んで、監視するアプリケーションにします"_s,
                    u"監視するｱﾌﾟﾘｹｰｼｮﾝを参照"_s);
    // "(", the seconds and "秒)" are read as one label, by the seconds' label.
    Label1->setAccessibleHidden(true);
    Label2->setAccessibleHidden(true);
    Time->setAccessibleDescription(u"自動的に消すまでの秒数"_s);
}

TSettingF::~TSettingF() = default;

void TSettingF::buildGeneralPage() {
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(u"TabSheet1"_s);
    PageControl1->addTab(TabSheet1, u"一般"_s);
    buildResultGroup();
    buildCompListGroup();
}

void TSettingF::buildResultGroup() {
    ShowResultGroup =
        makeGroupBox(TabSheet1, u"ShowResultGroup"_s, u"変換結果の表示"_s, {4, 4, 273, 93});
    ShowResult =
        makeChoice<QRadioButton>(ShowResultGroup, u"ShowResult"_s, u"表示する"_s, {8, 16, 113, 17});
    ShowResult->setChecked(true);
    GoByClose = makeChoice<QCheckBox>(ShowResultGroup, u"GoByClose"_s,
                                      u"一定時間経過後、自動的に消す"_s, {28, 32, 181, 17});
    Label1 = makeExLabel(ShowResultGroup, u"Label1"_s, u"("_s, kBracketLeft, 34);
    Time = makeExLabel(ShowResultGroup, u"Time"_s, u"5"_s, 220, 34);
    Time->setAutoSize(false);
    Time->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The designed box fits "10" in the designed font but not in its substitute, whose digits are
    // wider: grow it to the left so the right edge stays where the layout puts it.
    const int timeWidth = std::max(13, Time->fontMetrics().horizontalAdvance(u"10"_s) + 1);
    Time->setGeometry(220 + 13 - timeWidth, 34, timeWidth, Label1->height());
    Label2 = makeExLabel(ShowResultGroup, u"Label2"_s, u"秒)"_s, 236, 34);
    MinLbl = makeExLabel(ShowResultGroup, u"MinLbl"_s, u"0秒"_s, 48, 52);
    MaxLbl = makeExLabel(ShowResultGroup, u"MaxLbl"_s, u"10秒"_s, 224, 52);
    NotShowResult = makeChoice<QRadioButton>(ShowResultGroup, u"NotShowResult"_s, u"表示しない"_s,
                                             {8, 72, 113, 17});

    // The trackbar lies on the page, over the group.
    WaitTime = new TDisRangeTrackBar(TabSheet1);
    WaitTime->setObjectName(u"WaitTime"_s);
    WaitTime->setGeometry(72, 52, 157, 17);
    WaitTime->setAccessibleName(u"自動的に消すまでの秒数"_s);
    WaitTime->setOrientation(Qt::Horizontal);
    WaitTime->setMin(0);
    WaitTime->setMax(10);
    WaitTime->setFrequency(1);
    WaitTime->setTickMarks(tmBottomRight);
    WaitTime->setPosition(5);
}

void TSettingF::buildCompListGroup() {
    CompListGroup =
        makeGroupBox(TabSheet1, u"CompListGroup"_s, u"フッタの行末揃え"_s, {4, 102, 273, 61});
    CompListChk = makeChoice<QCheckBox>(CompListGroup, u"CompListChk"_s,
                                        u"挿入時にフッタの行末を揃える"_s, {8, 16, 173, 17});
    CompListCount = makeEdit(CompListGroup, u"CompListCount"_s, u"71"_s, {36, 34, 21, 20});
    CompListCount->setAccessibleName(u"揃える文字目"_s);
    CompListUpDown = new TUpDown(CompListGroup);
    CompListUpDown->setObjectName(u"CompListUpDown"_s);
    CompListUpDown->setGeometry(57, 34, 15, 20);
    CompListUpDown->setRange(0, 80);
    CompListUpDown->setWrap(false);
    CompListUpDown->setAssociate(CompListCount);
    CompListUpDown->setPosition(71);
    Label3 = makeLabel(CompListGroup, u"Label3"_s, u"文字目で揃える"_s, 76, 38);
}

void TSettingF::buildAppRunPage() {
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(u"TabSheet2"_s);
    PageControl1->addTab(TabSheet2, u"/aｵﾌﾟｼｮﾝ起動時"_s);
    AppRunGroup = makeGroupBox(TabSheet2, u"AppRunGroup"_s,
                               u"ｱﾌﾟﾘｹｰｼｮﾝの実行 (/aｵﾌﾟｼｮﾝ起動時に自動実行)"_s, {4, 4, 273, 105});
    BeforeRunChk =
        makeChoice<QCheckBox>(AppRunGroup, u"BeforeRunChk"_s, u"変換前に実行"_s, {8, 16, 97, 17});
    BeforeApp = makeEdit(AppRunGroup, u"BeforeApp"_s, QString(), {24, 34, 195, 18});
    BeforeApp->setAccessibleName(u"変換前に実行するｱﾌﾟﾘｹｰｼｮﾝ"_s);
    BeforeBtn = makeButton(AppRunGroup, u"BeforeBtn"_s, u"参照..."_s, {224, 34, 41, 18});
    AfterRunChk =
        makeChoice<QCheckBox>(AppRunGroup, u"AfterRunChk"_s, u"変換後に実行"_s, {8, 58, 97, 17});
    AfterApp = makeEdit(AppRunGroup, u"AfterApp"_s, QString(), {24, 76, 195, 18});
    AfterApp->setAccessibleName(u"変換後に実行するｱﾌﾟﾘｹｰｼｮﾝ"_s);
    AfterBtn = makeButton(AppRunGroup, u"AfterBtn"_s, u"参照..."_s, {224, 76, 41, 18});
    AppWaitTime =
        makeHiddenText(AppRunGroup, u"AppWaitTime"_s, QString::number(kAppWaitTimeDefault));
}

void TSettingF::buildWatchPage() {
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(u"TabSheet3"_s);
    PageControl1->addTab(TabSheet3, u"/wｵﾌﾟｼｮﾝ起動時"_s);
    GroupBox1 = makeGroupBox(TabSheet3, u"GroupBox1"_s,
                             u"ｱﾌﾟﾘｹｰｼｮﾝの実行 (/wｵﾌﾟｼｮﾝ起動時に自動実行)"_s, {4, 4, 273, 77});
    Label4 = makeLabel(GroupBox1, u"Label4"_s, u"このアプリケーションが起動している間ファイルの"_s,
                       12, 16);
    Label5 = makeLabel(GroupBox1, u"Label5"_s, u"更新を監視し、更新されると自動的に変換をします"_s,
                       12, 32);
    WatchApp = makeEdit(GroupBox1, u"WatchApp"_s, QString(), {12, 50, 209, 18});
    WatchApp->setAccessibleName(u"起動している間監視するｱﾌﾟﾘｹｰｼｮﾝ"_s);
    WatchBtn = makeButton(GroupBox1, u"WatchBtn"_s, u"参照..."_s, {224, 50, 41, 18});
    ObserveWaitTime =
        makeHiddenText(TabSheet3, u"ObserveWaitTime"_s, QString::number(kObserveWaitTimeDefault));
}

void TSettingF::buildEncodingPage() {
    TabSheet4 = new QWidget;
    TabSheet4->setObjectName(u"TabSheet4"_s);
    PageControl1->addTab(TabSheet4, u"文字コード"_s);
    EncodingGroup = makeGroupBox(TabSheet4, u"EncodingGroup"_s,
                                 u"アップロードファイルの文字コード"_s, {4, 4, 273, 99});
    // Automatic first: the default, and the choice that reads each file as what it is.
    AutoRadio =
        makeChoice<QRadioButton>(EncodingGroup, u"AutoRadio"_s, u"自動"_s, {8, 16, 257, 17});
    AutoRadio->setChecked(true);
    SjisRadio =
        makeChoice<QRadioButton>(EncodingGroup, u"SjisRadio"_s, u"Shift-JIS"_s, {8, 32, 181, 17});
    Utf8Radio =
        makeChoice<QRadioButton>(EncodingGroup, u"Utf8Radio"_s, u"UTF-8"_s, {8, 48, 181, 17});
    Label6 = makeLabel(EncodingGroup, u"Label6"_s, u"リストファイルは UTF-8 でも Shift-JIS でも"_s,
                       12, 66);
    Label7 = makeLabel(EncodingGroup, u"Label7"_s, u"読み込み、この文字コードに直して挿入します"_s,
                       12, 82);
    // The draw rule, stored in the File group as `NoRepeat`, shares the page.
    DrawGroup =
        makeGroupBox(TabSheet4, u"DrawGroup"_s, u"ヘッダ・フッタの抽選"_s, {4, 106, 273, 57});
    NoRepeatChk = makeChoice<QCheckBox>(DrawGroup, u"NoRepeatChk"_s,
                                        u"一巡するまで同じ項目を選ばない"_s, {8, 16, 257, 17});
    NoRepeatLbl =
        makeLabel(DrawGroup, u"NoRepeatLbl"_s, u"全項目を選び終えると次の巡回に入ります"_s, 24, 36);
}

void TSettingF::connectHandlers() {
    connect(ShowResult, &QRadioButton::clicked, this, &TSettingF::ShowResultClick);
    connect(NotShowResult, &QRadioButton::clicked, this, &TSettingF::NotShowResultClick);
    connect(GoByClose, &QCheckBox::clicked, this, &TSettingF::GoByCloseClick);
    connect(WaitTime, &TDisRangeTrackBar::changed, this, &TSettingF::WaitTimeChange);
    connect(BeforeRunChk, &QCheckBox::clicked, this, &TSettingF::BeforeRunChkClick);
    connect(AfterRunChk, &QCheckBox::clicked, this, &TSettingF::AfterRunChkClick);
    connect(CompListChk, &QCheckBox::clicked, this, &TSettingF::CompListChkClick);
    connect(BeforeBtn, &QPushButton::clicked, this, &TSettingF::BeforeBtnClick);
    connect(AfterBtn, &QPushButton::clicked, this, &TSettingF::AfterBtnClick);
    connect(WatchBtn, &QPushButton::clicked, this, &TSettingF::WatchBtnClick);
    connect(OkBtn, &QPushButton::clicked, this, &TSettingF::OkBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TSettingF::CancelBtnClick);
}

SettingFState TSettingF::readState() const {
    SettingFState state;
    state.ShowResult = ShowResult->isChecked();
    state.NotShowResult = NotShowResult->isChecked();
    state.GoByClose = GoByClose->isChecked();
    state.WaitTime = WaitTime->position();
    state.CompListChk = CompListChk->isChecked();
    state.CompListUpDown = CompListUpDown->position();
    state.BeforeRunChk = BeforeRunChk->isChecked();
    state.BeforeApp = BeforeApp->text();
    state.AfterRunChk = AfterRunChk->isChecked();
    state.AfterApp = AfterApp->text();
    state.AppWaitTime = AppWaitTime->text();
    state.WatchApp = WatchApp->text();
    state.ObserveWaitTime = ObserveWaitTime->text();
    state.NoRepeatChk = NoRepeatChk->isChecked();
    state.Utf8Files = Utf8Radio->isChecked();
    // None checked (never through the buttons) reads as automatic, the default.
    state.AutoFiles = !Utf8Radio->isChecked() && !SjisRadio->isChecked();
    if (m_storeBase)
        state.base = *m_storeBase;
    return state;
}

void TSettingF::applyState(const SettingFState& state) {
    setRadioChecked(ShowResult, state.ShowResult);
    setRadioChecked(NotShowResult, state.NotShowResult);
    GoByClose->setChecked(state.GoByClose);
    WaitTime->setPosition(state.WaitTime);
    CompListChk->setChecked(state.CompListChk);
    CompListUpDown->setPosition(state.CompListUpDown);
    BeforeRunChk->setChecked(state.BeforeRunChk);
    BeforeApp->setText(state.BeforeApp);
    AfterRunChk->setChecked(state.AfterRunChk);
    AfterApp->setText(state.AfterApp);
    AppWaitTime->setText(state.AppWaitTime);
    WatchApp->setText(state.WatchApp);
    ObserveWaitTime->setText(state.ObserveWaitTime);
    NoRepeatChk->setChecked(state.NoRepeatChk);
    setRadioChecked(AutoRadio, state.AutoFiles);
    setRadioChecked(SjisRadio, !state.AutoFiles && !state.Utf8Files);
    setRadioChecked(Utf8Radio, !state.AutoFiles && state.Utf8Files);
}

void TSettingF::FormCreate() {
    // Each load applies its values one by one, so after a failure the controls keep what was
    // read before it, and the rest of the creation is skipped.
    SettingFState state = readState();
    const StoreResult result = loadSettingFGroups(state, m_loadWrites);
    m_storeBase = std::make_unique<StoreBase>(state.base);
    applyState(state);
    m_storedRules = std::make_unique<RulesState>();
    StoreResult rulesResult = result;
    if (result)
        rulesResult = LoadRulesGroup(*m_storedRules, m_loadWrites);
    TabSheet5->setRules(m_storedRules->rules);
    if (!rulesResult) {
        showStandardError(this, rulesResult.message());
        return;
    }
    GoByCloseClick();
    BeforeRunChkClick();
    AfterRunChkClick();
    CompListChkClick();
    GoByClose->setEnabled(ShowResult->isChecked());
    if (!ShowResult->isChecked())
        WaitTime->setEnabled(false);
    showWaitTime();
    m_loaded = true;
}

void TSettingF::setTimeLabelsLook(bool enabled) {
    // Black and 128 grey on the classic scheme; from the palette, so that enabled text is the
    // readable one on a dark scheme as well.
    const TColor colour = enabled ? clWindowText : clGrayText;
    for (TExLabel* label : {MinLbl, MaxLbl, Label1, Label2, Time}) {
        label->setFontColor(colour);
        label->setFont3D(!enabled);
    }
    etchTimeLabels();
}

void TSettingF::etchTimeLabels() {
    // The copy under the grey text: white on the classic scheme, one that stands clear of the
    // grey on any other.
    const TColor copy = toTColor(etchBeside(palette(), toQColor(clGrayText, palette())));
    for (TExLabel* label : {MinLbl, MaxLbl, Label1, Label2, Time})
        label->setBackFont(copy);
}

void TSettingF::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && MaxLbl)
        etchTimeLabels();
}

void TSettingF::ShowResultClick() {
    GoByClose->setEnabled(true);
    GoByCloseClick();
}

void TSettingF::NotShowResultClick() {
    GoByClose->setEnabled(false);
    WaitTime->setEnabled(false);
    setTimeLabelsLook(false);
}

void TSettingF::GoByCloseClick() {
    const bool checked = GoByClose->isChecked();
    WaitTime->setEnabled(checked);
    setTimeLabelsLook(checked);
}

void TSettingF::WaitTimeChange() {
    showWaitTime();
}

void TSettingF::showWaitTime() {
    Time->setText(QString::number(WaitTime->position()));
    Time->setAccessibleName(u"(%1秒)"_s.arg(WaitTime->position()));
    // "(" keeps its place unless the seconds need its room: then it steps left, clear of them.
    const int textLeft =
        Time->geometry().right() + 1 - Time->fontMetrics().horizontalAdvance(Time->text());
    Label1->move(std::min(kBracketLeft, textLeft - kBracketGap - Label1->width()), Label1->y());
}

void TSettingF::BeforeRunChkClick() {
    const bool checked = BeforeRunChk->isChecked();
    setEditUsable(BeforeApp, checked);
    BeforeBtn->setEnabled(checked);
}

void TSettingF::AfterRunChkClick() {
    const bool checked = AfterRunChk->isChecked();
    setEditUsable(AfterApp, checked);
    AfterBtn->setEnabled(checked);
}

void TSettingF::CompListChkClick() {
    const bool checked = CompListChk->isChecked();
    setEditUsable(CompListCount, checked);
    CompListUpDown->setEnabled(checked);
}

void TSettingF::browseInto(QLineEdit* edit) {
    if (const std::optional<QString> chosen = runFileDialog(this, OpenDialog1))
        edit->setText(*chosen);
}

void TSettingF::BeforeBtnClick() {
    browseInto(BeforeApp);
}

void TSettingF::AfterBtnClick() {
    browseInto(AfterApp);
}

void TSettingF::WatchBtnClick() {
    browseInto(WatchApp);
}

void TSettingF::OkBtnClick() {
    // A refused write stops the saving there and keeps the dialog open, as the store's
    // failure would stop the handler.
    const SettingFState state = readState();
    StoreResult result = SaveResultGroup(state);
    if (result)
        result = SaveCompListGroup(state);
    if (result)
        result = SaveAppRunGroup(state);
    if (result)
        result = SaveWatchGroup(state);
    if (result)
        result = saveNoRepeat(state);
    if (result)
        result = saveFileEncoding(state);
    if (result) {
        RulesState rules = *m_storedRules;
        rules.rules = TabSheet5->rules();
        result = SaveRulesGroup(rules);
    }
    if (!result) {
        showStandardError(this, result.message());
        return;
    }
    accept();
}

void TSettingF::CancelBtnClick() {
    reject();
}

void TSettingF::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    centreOnScreen(this);
    // Keyboard users start at the first control of the tab order, whether or not the window
    // manager activates the dialog at once.
    if (!focusWidget())
        focusNextChild();
}

void TSettingF::keyPressEvent(QKeyEvent* event) {
    // No default or cancel button: Enter presses only a focused button, Esc does nothing.
    if (!handleDialogKeys(event, focusWidget(), nullptr, nullptr))
        QDialog::keyPressEvent(event);
}

} // namespace morvex
