#include "controls/FolderDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <deque>

namespace morvex {

using namespace Qt::StringLiterals;

namespace {

std::deque<std::optional<QString>>& queuedAnswers() {
    static std::deque<std::optional<QString>> answers;
    return answers;
}

TFolderDialog::Request& lastRequestStore() {
    static TFolderDialog::Request request;
    return request;
}

/// The chooser itself: an instruction line over a tree of folders, OK and Cancel. With a root
/// the tree's top item is the root folder itself, which can be chosen too.
class FolderBrowser : public QDialog {
public:
    FolderBrowser(QWidget* owner, const QString& caption, const QString& root);
    void select(const QString& path);
    QString chosenPath() const;

private:
    void showRoot(const QString& root);
    void hideSiblingsOfRoot(const QModelIndex& parent, int first, int last);
    bool isBelowRoot(QModelIndex index) const;
    void selectionChanged();
    void keepStartInSight();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QFileSystemModel* m_model;
    QTreeView* m_tree;
    QDialogButtonBox* m_buttons;
    QPersistentModelIndex m_root;
    QPersistentModelIndex m_start; ///< the preselected folder, until the user takes over
    QTimer m_follow;
};

FolderBrowser::FolderBrowser(QWidget* owner, const QString& caption, const QString& root)
    : QDialog(owner)
    , m_model(new QFileSystemModel(this))
    , m_tree(new QTreeView(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setObjectName(u"FolderBrowser"_s);
    setWindowTitle(u"フォルダの参照"_s);
    resize(320, 360);
    auto* instruction = new QLabel(caption, this);
    instruction->setObjectName(u"Instruction"_s);
    instruction->setWordWrap(true);
    m_buttons->setObjectName(u"Buttons"_s);

    m_model->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_model->setReadOnly(true);
    m_tree->setObjectName(u"FolderTree"_s);
    m_tree->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_tree->hideColumn(column);
    m_tree->header()->hide();
    showRoot(root);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(instruction);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &FolderBrowser::selectionChanged);
    selectionChanged();
}

void FolderBrowser::showRoot(const QString& root) {
    // Without a root the tree shows the whole file system, with "/" as its top.
    m_model->setRootPath(root.isEmpty() ? QDir::rootPath() : root);
    if (root.isEmpty())
        return;
    m_root = m_model->index(root);
    const QModelIndex parent = m_root.parent();
    m_tree->setRootIndex(parent);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &FolderBrowser::hideSiblingsOfRoot);
    hideSiblingsOfRoot(parent, 0, m_model->rowCount(parent) - 1);
    m_tree->expand(m_root);
}

void FolderBrowser::hideSiblingsOfRoot(const QModelIndex& parent, int first, int last) {
    if (parent != m_root.parent())
        return;
    for (int row = first; row <= last; ++row)
        m_tree->setRowHidden(row, parent, m_model->index(row, 0, parent) != m_root);
}

bool FolderBrowser::isBelowRoot(QModelIndex index) const {
    if (!m_root.isValid())
        return true;
    for (; index.isValid(); index = index.parent())
        if (index == m_root)
            return true;
    return false;
}

void FolderBrowser::select(const QString& path) {
    const QModelIndex index = m_model->index(path);
    if (!index.isValid() || !isBelowRoot(index))
        return;
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        m_tree->expand(parent);
    m_tree->setCurrentIndex(index);
    m_start = index;
    // The folders on the way are read in the background, and each batch of rows they bring
    // (sorted in later) pushes the start folder down: it is brought back into sight after each,
    // until the user takes over the tree.
    m_follow.setSingleShot(true);
    m_follow.setInterval(0);
    connect(&m_follow, &QTimer::timeout, this, &FolderBrowser::keepStartInSight,
            Qt::UniqueConnection);
    const auto follow = [this] {
        m_follow.start();
    };
    connect(m_model, &QFileSystemModel::directoryLoaded, &m_follow, follow);
    connect(m_model, &QAbstractItemModel::rowsInserted, &m_follow, follow);
    connect(m_model, &QAbstractItemModel::layoutChanged, &m_follow, follow);
    for (QObject* part :
         {static_cast<QObject*>(m_tree->viewport()),
          static_cast<QObject*>(m_tree->verticalScrollBar()), static_cast<QObject*>(m_tree)})
        part->installEventFilter(this);
    keepStartInSight();
}

void FolderBrowser::keepStartInSight() {
    if (!m_start.isValid() || m_tree->currentIndex() != m_start) {
        m_start = QPersistentModelIndex(); // the user has moved on
        return;
    }
    for (QModelIndex parent = m_start.parent(); parent.isValid(); parent = parent.parent())
        m_tree->expand(parent);
    m_tree->scrollTo(m_start, QAbstractItemView::PositionAtCenter);
}

bool FolderBrowser::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::KeyPress:
        m_start = QPersistentModelIndex(); // the user's own scrolling is not undone
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void FolderBrowser::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Only a laid-out view knows where its rows are.
    QTimer::singleShot(0, this, &FolderBrowser::keepStartInSight);
}

QString FolderBrowser::chosenPath() const {
    const QModelIndex current = m_tree->currentIndex();
    return current.isValid() && isBelowRoot(current) ? m_model->filePath(current) : QString();
}

void FolderBrowser::selectionChanged() {
    // OK only for a folder with a file-system path.
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!chosenPath().isEmpty());
}

} // namespace

TFolderDialog::TFolderDialog(QWidget* owner)
    : QObject(owner)
    , m_owner(owner) {}

QString TFolderDialog::withoutTrailingSeparator(const QString& path) {
    if (path.size() > 1 && path.endsWith(u'/'))
        return path.chopped(1);
    return path;
}

void TFolderDialog::setRootDir(const QString& value) {
    m_rootDir = withoutTrailingSeparator(value);
}

void TFolderDialog::setStartDir(const QString& value) {
    m_startDir = withoutTrailingSeparator(value);
}

void TFolderDialog::queueAnswer(std::optional<QString> answer) {
    queuedAnswers().push_back(std::move(answer));
}

void TFolderDialog::clearAnswers() {
    queuedAnswers().clear();
}

TFolderDialog::Request TFolderDialog::lastRequest() {
    return lastRequestStore();
}

bool TFolderDialog::Execute() {
    lastRequestStore() = Request{m_caption, m_rootDir, m_startDir, m_owner.data()};
    std::optional<QString> chosen;
    if (!queuedAnswers().empty()) {
        chosen = queuedAnswers().front();
        queuedAnswers().pop_front();
    } else {
        chosen = browse();
    }
    m_path = chosen.value_or(QString());
    return chosen.has_value();
}

std::optional<QString> TFolderDialog::browse() {
    // A root that is no folder leaves the whole file system to choose from.
    const QFileInfo root(m_rootDir);
    const QString rootPath =
        !m_rootDir.isEmpty() && root.isDir() ? root.absoluteFilePath() : QString();
    FolderBrowser browser(m_owner, m_caption, rootPath);
    if (!m_startDir.isEmpty())
        browser.select(m_startDir);
    if (browser.exec() != QDialog::Accepted)
        return std::nullopt;
    const QString chosen = browser.chosenPath();
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

} // namespace morvex
