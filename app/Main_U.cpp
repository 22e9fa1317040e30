#include "app/Main_U.h"

#include "app/StarterLists.h"
#include "controls/FolderDialog.h"
#include "controls/MaruBtn.h"
#include "engine/Messages.h"
#include "engine/PassValues.h"
#include "engine/Paths.h"
#include "gui/DesignedWindow.h"
#include "gui/OpenDocument.h"
#include "modes/InstallLayout.h"
#include "modes/PassSettings.h"
#include "modes/ProcessEnd.h"
#include "settings/EngineBytes.h"
#include "settings/ListFolder.h"
#include "settings/MainWindowGroups.h"
#include "settings/SettingsStore.h"
#include "windows/About_U.h"
#include "windows/ProgresU.h"
#include "windows/Set_U.h"
#include "windows/SrcEditU.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSessionManager>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <exception>
#include <tuple>
#include <utility>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

// "/c" saves nothing, not even the move of the older vendor's keys.
LoadWrites loadWritesFor(const QStringList& arguments) {
    return runModeFor(arguments) == RunMode::ConvertOnce ? LoadWrites::Discarded
                                                         : LoadWrites::Saved;
}

QString joinedPattern(const QString& folder, const QString& mask) {
    return folder.endsWith(u'/') ? folder + mask : folder + u'/' + mask;
}

} // namespace

TMorvexF::TMorvexF(MorvexApplication& application, QWidget* parent)
    : QMainWindow(parent)
    , m_application(application) {
    buildPanel();
    buildComponents();
    connectCommands();
    connectEngine();
    m_reporter = [this](const FileResult& result) {
        showFileResult(this, QString::fromUtf8(result.path), result.footers, result.headers,
                       loadWritesFor(m_application.Arguments));
    };
}

TMorvexF::~TMorvexF() = default;

void TMorvexF::setResultReporter(ResultReporter reporter) {
    m_reporter = std::move(reporter);
}

void TMorvexF::runGuarded(void (TMorvexF::*handler)()) {
    try {
        (this->*handler)();
    } catch (const std::exception& error) {
        showStandardError(this, QString::fromLocal8Bit(error.what()));
    }
}

void TMorvexF::connectCommands() {
    const auto on = [this](auto* sender, auto signal, void (TMorvexF::*handler)()) {
        connect(sender, signal, this, [this, handler] { runGuarded(handler); });
    };
    on(ConvBtn, &QPushButton::clicked, &TMorvexF::ConvBtnClick);
    on(SrcEditBtn, &QPushButton::clicked, &TMorvexF::SrcEditBtnClick);
    on(HBBtn, &QPushButton::clicked, &TMorvexF::HBBtnClick);
    on(FBBtn, &QPushButton::clicked, &TMorvexF::FBBtnClick);
    on(HeaderBtn, &TMaruBtn::clicked, &TMorvexF::HeaderBtnClick);
    on(FutterBtn, &TMaruBtn::clicked, &TMorvexF::FutterBtnClick);
    const std::pair<QAction*, void (TMorvexF::*)()> actions[] = {
        {SrcOpenMnu, &TMorvexF::SrcEditBtnClick},
        {OutOpenMnu, &TMorvexF::OutBBtnClick},
        {HeaderOpenMnu, &TMorvexF::HBBtnClick},
        {FutterOpenMnu, &TMorvexF::FBBtnClick},
        {Exit, &TMorvexF::ExitClick},
        {UndoMnu, &TMorvexF::UndoMnuClick},
        {SampleListMnu, &TMorvexF::SampleListMnuClick},
        {ConvMnu, &TMorvexF::ConvBtnClick},
        {ShowResultSetting, &TMorvexF::ShowResultSettingClick},
        {Contents, &TMorvexF::ContentsClick},
        {About, &TMorvexF::AboutClick},
        {HeaderDirB, &TMorvexF::HeaderDirBClick},
        {HeaderFileB, &TMorvexF::HeaderFileBClick},
        {FutterDirB, &TMorvexF::FutterDirBClick},
        {FutterFileB, &TMorvexF::FutterFileBClick},
        {Show1, &TMorvexF::Show1Click},
        {KS1, &TMorvexF::ShowResultSettingClick},
        {KA1, &TMorvexF::AboutClick},
        {Exit1, &TMorvexF::Exit1Click},
    };
    for (const auto& [action, handler] : actions)
        on(action, &QAction::triggered, handler);
    // Log-off or shutdown asks first; the answer is always yes, after saving.
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { FormCloseQuery(); });
}

void TMorvexF::connectEngine() {
    Engine.setDesignedTexts(true); // its message boxes say what the design says
    Engine.setShowError([this](const std::string& text, const std::string& caption) {
        engineErrorShown(text, caption);
    });
    Engine.setResultCallback([this](const FileResult& result) { reportResult(result); });
}

void TMorvexF::engineErrorShown(const std::string& text, const std::string& caption) {
    showStopBox(this, QString::fromUtf8(caption), QString::fromUtf8(text));
    const ConvSettings settings = convSettings();
    // The engine's own wording, up to the file it names, tells a list with nothing to draw.
    for (const bool footer : {true, false}) {
        const std::string& pattern =
            footer ? settings.footerListPattern : settings.headerListPattern;
        if (text.starts_with(emptyPoolMessage(footer, pattern, {})))
            m_listMissing = true;
    }
}

void TMorvexF::reportResult(const FileResult& result) {
    if (m_reporter && (result.footers != 0 || result.headers != 0))
        m_reporter(result);
}

void TMorvexF::FormCreate() {
    m_firstStart = !QFileInfo::exists(SettingsStore::defaultFilePath());
    m_settingsLoaded = loadSettings();
    if (!m_settingsLoaded)
        return;
    m_runMode = runModeFor(m_application.Arguments);
    start(m_runMode);
}

bool TMorvexF::loadSettings() {
    const LoadWrites writes = loadWritesFor(m_application.Arguments);
    if (const StoreResult pruned = PruneOldVendorKey(writes); !pruned) {
        showStandardError(this, pruned.message());
        return false;
    }
    MainWindowSettings state = settingsState();
    state.windowTop.reset();
    state.windowLeft.reset();
    const StoreResult loaded = LoadMainSettings(state, listFolder(), writes);
    m_storeBase = std::make_unique<StoreBase>(state.base);
    // Values read before a failure stay applied, as the store hands them over.
    applySettingsState(state);
    if (!loaded)
        showStandardError(this, loaded.message());
    return loaded.ok();
}

ConvSettings TMorvexF::convSettings() const {
    return passSettings(settingsState(), SkipConverted);
}

void TMorvexF::ConvBtnClick() {
    ConvSettings settings;
    {
        // The alignment, the draw rule and the encoding are what the store holds now, read
        // through an unseen settings dialog; so are the rules.
        const TSettingF setting(this, loadWritesFor(m_application.Arguments));
        settings = withDialogSettings(convSettings(), setting.readState());
    }
    settings = withStoredRules(std::move(settings),
                               [this](const QString& text) { showStandardError(this, text); });
    m_listMissing = false;
    Engine.ConvertAll(settings);
    UndoMnu->setEnabled(Engine.canUndo());
    // A user who declined the starter lists once, or lost them, is offered them again here;
    // an unattended mode has nobody to ask.
    if (std::exchange(m_listMissing, false) && m_runMode == RunMode::Interactive)
        offerSampleLists();
}

void TMorvexF::offerSampleLists() {
    const QString folder = listFolder();
    const QStringList missing = missingStarterLists(folder);
    if (missing.isEmpty())
        return;
    const QString question =
        u"ヘッダリストかフッタリストが見つからないか空です。\n\n"
        u"サンプルのリスト (%1) を %2 に作成しますか？\n"
        u"同じ名前のファイルがあれば、そのままにします。"_s.arg(missing.join(u", "_s), folder);
    if (askYesNo(this, u"Morvex"_s, question))
        SampleListMnuClick();
}

void TMorvexF::SampleListMnuClick() {
    const StarterOutcome outcome = writeStarterLists(listFolder());
    reportStarterLists(this, outcome,
                       outcome.error.isEmpty() ? pointEmptyFieldsAtListFolder() : QString());
}

QString TMorvexF::pointEmptyFieldsAtListFolder() {
    // Only a pattern that finds nothing is replaced: no list of the user's is left out by it.
    QStringList pointed;
    const std::tuple<QLineEdit*, QString, QString> fields[] = {
        {HFile, fromBytes(kHeaderListName), u"ﾍｯﾀﾞﾘｽﾄ"_s},
        {FFile, fromBytes(kFooterListName), u"ﾌｯﾀﾘｽﾄ"_s},
    };
    for (const auto& [field, mask, label] : fields) {
        if (!findFiles(bytes(field->text())).empty())
            continue;
        field->setText(joinedPattern(listFolder(), mask));
        pointed << u"%1: %2"_s.arg(label, field->text());
    }
    if (pointed.isEmpty())
        return {};
    return u"ファイルが一つも見つからなかったリストの欄を、作成したリストに合わせました:\n"_s +
           pointed.join(u'\n');
}

void TMorvexF::UndoMnuClick() {
    const int restored = Engine.undoLastPass();
    UndoMnu->setEnabled(false);
    showInfoBox(this, u"Morvex"_s, u"%1 個のファイルを元に戻しました。"_s.arg(restored));
}

void TMorvexF::SrcEditBtnClick() {
    editSourceList(this, SrcFile);
}

void TMorvexF::OutBBtnClick() {
    if (const std::optional<QString> chosen = runFileDialog(this, OutFileSave))
        Engine.setOutFile(bytes(*chosen));
}

QPoint TMorvexF::popupPoint(const QWidget* button) const {
    const QPoint edges = frameGeometry().topLeft();
    return edges + QPoint(button->x() + 4, button->y() + 42);
}

void TMorvexF::HBBtnClick() {
    HeaderBPMnu->popup(popupPoint(HBBtn));
}

void TMorvexF::FBBtnClick() {
    FutterBPMnu->popup(popupPoint(FBBtn));
}

void TMorvexF::chooseFolder(QLineEdit* pattern, const QString& caption, const QString& listMask) {
    FolderDialog1->setCaption(caption);
    FolderDialog1->setStartDir(QString::fromUtf8(directoryPart(bytes(pattern->text()))));
    if (FolderDialog1->Execute())
        pattern->setText(joinedPattern(FolderDialog1->Path(), listMask));
}

void TMorvexF::HeaderDirBClick() {
    chooseFolder(HFile, u"ヘッダリストのあるフォルダを指定してください。"_s,
                 fromBytes(kHeaderListName));
}

void TMorvexF::FutterDirBClick() {
    chooseFolder(FFile, u"フッタリストのあるフォルダを指定してください。"_s,
                 fromBytes(kFooterListName));
}

void TMorvexF::chooseFile(QLineEdit* pattern, FileDialogRequest dialog) {
    // Where the field points, as the folder browser starts; a bare pattern gives the default.
    dialog.startDir = QDir::cleanPath(QString::fromUtf8(directoryPart(bytes(pattern->text()))));
    if (const std::optional<QString> chosen = runFileDialog(this, dialog))
        pattern->setText(*chosen);
}

void TMorvexF::HeaderFileBClick() {
    chooseFile(HFile, HeaderFileOpen);
}

void TMorvexF::FutterFileBClick() {
    chooseFile(FFile, FutterFileOpen);
}

void TMorvexF::HeaderBtnClick() {
    HeaderBtnMarker = 1;
    FutterBtnMarker = 0;
    HeaderBtn->setDown(false);
    openListViewer();
}

void TMorvexF::FutterBtnClick() {
    FutterBtnMarker = 1;
    HeaderBtnMarker = 0;
    FutterBtn->setDown(false);
    openListViewer();
}

void TMorvexF::openListViewer() {
    if (!m_listViewer)
        return;
    if (HeaderBtnMarker == 1) {
        m_listViewer.LoadHeadListBtnClick();
        m_listViewer.show();
    } else if (FutterBtnMarker == 1) {
        m_listViewer.LoadListBtnClick();
        m_listViewer.show();
    }
}

void TMorvexF::ShowResultSettingClick() {
    TSettingF setting(this);
    setting.exec();
}

void TMorvexF::AboutClick() {
    TAboutF about(this);
    about.exec();
}

void TMorvexF::ContentsClick() {
    const InstalledFile found = findManual(programDirectory());
    if (found.found.isEmpty()) {
        m_application.HelpFile = found.lookedAt.first();
        showStandardError(this, u"ヘルプファイル Morvex.html が見つかりません。\n探した場所:\n"_s +
                                    found.lookedAt.join(u'\n') +
                                    u"\n\nMorvex をインストールし直してください。"_s);
        return;
    }
    m_application.HelpFile = found.found;
    const QString manual = m_application.HelpFile;
    // No application for HTML files, or one that fails, must not leave the user with nothing.
    openDocument(this, manual, [this, manual] {
        showStandardError(
            this,
            u"ヘルプファイル %1 を表示できませんでした。\n\n"
            u"HTML ファイルを表示するアプリケーション(Web ブラウザ)を"
            u"インストールするか、このファイルをブラウザで直接開いてください。"_s.arg(manual));
    });
}

void TMorvexF::ExitClick() {
    m_closeByCommand = true;
    close();
}

bool TMorvexF::FormCloseQuery() {
    saveSettings();
    return true;
}

void TMorvexF::FormClose() {
    ObserveTimer->stop();
    AppRunTimer->stop();
    endProcess(m_saveFailed ? ExitStatus::SaveFailed : ExitStatus::Done);
}

void TMorvexF::SaveAndQuit() {
    const bool saved = saveSettings();
    ObserveTimer->stop();
    AppRunTimer->stop();
    endProcess(saved ? ExitStatus::Done : ExitStatus::SaveFailed);
}

void TMorvexF::Exit1Click() {
    // An unattended mode ends at once: leaving the loop from a dialog open inside a tick would
    // let the tick go on to the pass and the after program.
    if (modes())
        endProcess(ExitStatus::Done);
    // Ends the message loop without closing windows, so nothing is saved.
    QCoreApplication::exit(0);
}

void TMorvexF::Show1Click() {
    show();
    raise();
    activateWindow();
}

bool TMorvexF::saveSettings() {
    if (!m_settingsLoaded)
        return true;
    const MainWindowSettings state = settingsState();
    const StoreResult saved = saveMainWindowGroups(state);
    m_saveFailed = !saved;
    if (m_saveFailed)
        showStandardError(this, saved.message());
    return !m_saveFailed;
}

MainWindowSettings TMorvexF::settingsState() const {
    MainWindowSettings state;
    const QRect frame = frameGeometry();
    // A window never shown has no place of its own yet; writing one would pin it there.
    if (m_positionKnown) {
        state.windowTop = frame.top();
        state.windowLeft = frame.left();
    }
    state.windowWidth = frame.width();
    state.windowHeight = frame.height();
    state.clientWidth = centralWidget()->width();
    state.clientHeight = centralWidget()->height();
    for (int row = 0; row < SrcFile->count(); ++row)
        state.SrcFile << SrcFile->item(row)->text();
    state.FFile = FFile->text();
    state.HFile = HFile->text();
    state.ConvChar = ConvChar->text();
    state.HeadConvChar = HeadConvChar->text();
    state.BackExt = BackExt->text();
    state.FutterMarker = FutterBtnMarker;
    state.HeaderMarker = HeaderBtnMarker;
    if (m_storeBase)
        state.base = *m_storeBase;
    return state;
}

void TMorvexF::applySettingsState(const MainWindowSettings& state) {
    if (state.windowTop || state.windowLeft) {
        const QPoint stored(state.windowLeft.value_or(x()), state.windowTop.value_or(y()));
        // Moved in until the whole frame can be reached; a place on no screen (a monitor
        // unplugged, a smaller screen) is left to the system.
        if (restorePlace(this, stored))
            m_positionKnown = true;
    }
    SrcFile->clear();
    SrcFile->addItems(state.SrcFile);
    FFile->setText(state.FFile);
    HFile->setText(state.HFile);
    ConvChar->setText(state.ConvChar);
    HeadConvChar->setText(state.HeadConvChar);
    BackExt->setText(state.BackExt);
    FutterBtnMarker = state.FutterMarker;
    HeaderBtnMarker = state.HeaderMarker;
}

void TMorvexF::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!m_closeByCommand) {
        SaveAndQuit();
        return;
    }
    m_closeByCommand = false;
    if (FormCloseQuery())
        FormClose();
}

void TMorvexF::keyPressEvent(QKeyEvent* event) {
    // ConvBtn is the default button: Enter in any field that does not take it itself.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (ConvBtn->isEnabled())
            ConvBtn->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TMorvexF::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    m_positionKnown = true;
    FormShow();
}

} // namespace morvex
