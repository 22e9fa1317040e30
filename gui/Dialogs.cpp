#include "gui/Dialogs.h"

#include "engine/Messages.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <QStyle>
#include <QTreeView>
#include <algorithm>
#include <deque>

namespace morvex {
using namespace Qt::StringLiterals;
namespace {

MessageSink& messageSink() {
    static MessageSink sink;
    return sink;
}

QuestionSink& questionSink() {
    static QuestionSink sink;
    return sink;
}

constexpr QChar kWordJoiner = QChar(0x2060);
constexpr QChar kBreakHere = QChar(0x200B);

// Where a path stops: white space, and the brackets and stops Japanese text puts around it.
bool endsPath(QChar c) {
    return c.isSpace() || QStringView(u"「」『』（）()、。\"'").contains(c);
}

std::deque<std::optional<QString>>& queuedAnswers() {
    static std::deque<std::optional<QString>> answers;
    return answers;
}

FileDialogRequest& lastRequest() {
    static FileDialogRequest request;
    return request;
}

// Centres `dialog` on the window of `owner` while that is shown, else on the screen, and keeps it
// on the screen. Set before the dialog is first mapped, the place is the program's, not the
// window manager's (which would put it in a corner).
void centreOnOwner(QWidget* dialog, QWidget* owner) {
    QWidget* window = owner ? owner->window() : nullptr;
    QScreen* screen = window && window->isVisible() ? window->screen() : dialog->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(window && window->isVisible() ? window->frameGeometry().center()
                                                   : area.center());
    frame.moveLeft(std::clamp(frame.left(), area.left(),
                              std::max(area.left(), area.right() - frame.width() + 1)));
    frame.moveTop(std::clamp(frame.top(), area.top(),
                             std::max(area.top(), area.bottom() - frame.height() + 1)));
    dialog->move(frame.topLeft());
}

QStyle::StandardPixmap standardPixmapOf(QMessageBox::Icon kind) {
    switch (kind) {
    case QMessageBox::Information:
        return QStyle::SP_MessageBoxInformation;
    case QMessageBox::Warning:
        return QStyle::SP_MessageBoxWarning;
    case QMessageBox::Question:
        return QStyle::SP_MessageBoxQuestion;
    case QMessageBox::Critical:
    case QMessageBox::NoIcon:
        break;
    }
    return QStyle::SP_MessageBoxCritical;
}

// A box's sign drawn at the screen's own resolution: a red disc with a white cross (stop), a
// yellow triangle with "!" (warning), a blue disc with "i" or "?".
QPixmap drawnIcon(QMessageBox::Icon kind, int side, qreal ratio) {
    QPixmap pixmap(QSize(side, side) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(1, 1, side - 2, side - 2);
    const QPointF centre = area.center();
    const qreal stroke = side / 9.0;
    QPen mark(Qt::white, stroke, Qt::SolidLine, Qt::RoundCap);
    if (kind == QMessageBox::Warning) {
        const QPolygonF triangle({QPointF(centre.x(), area.top() + 1),
                                  QPointF(area.right(), area.bottom() - 1),
                                  QPointF(area.left(), area.bottom() - 1)});
        painter.setPen(
            QPen(QColor(0x8a, 0x6d, 0x00), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(QColor(0xf6, 0xc3, 0x2b));
        painter.drawPolygon(triangle);
        mark.setColor(Qt::black);
        painter.setPen(mark);
        painter.drawLine(QPointF(centre.x(), area.top() + side * 0.34),
                         QPointF(centre.x(), area.bottom() - side * 0.3));
        painter.drawPoint(QPointF(centre.x(), area.bottom() - side * 0.15));
        return pixmap;
    }
    const bool stop = kind == QMessageBox::Critical;
    const QColor fill = stop ? QColor(0xd3, 0x2f, 0x2f) : QColor(0x1e, 0x6f, 0xd9);
    painter.setPen(QPen(fill.darker(140), 1.0));
    painter.setBrush(fill);
    painter.drawEllipse(area);
    painter.setPen(mark);
    const qreal arm = side * 0.2;
    if (stop) {
        painter.drawLine(centre + QPointF(-arm, -arm), centre + QPointF(arm, arm));
        painter.drawLine(centre + QPointF(-arm, arm), centre + QPointF(arm, -arm));
    } else if (kind == QMessageBox::Information) {
        painter.drawPoint(centre + QPointF(0, -side * 0.24));
        painter.drawLine(centre + QPointF(0, -side * 0.06), centre + QPointF(0, side * 0.26));
    } else {
        QFont font;
        font.setBold(true);
        font.setPixelSize(int(side * 0.62));
        painter.setFont(font);
        painter.drawText(area, Qt::AlignCenter, u"?"_s);
    }
    return pixmap;
}

// The style's sign where it has one as fine as the screen needs (a theme's scalable icons);
// else one drawn at the screen's resolution rather than a small picture enlarged and blurred.
QPixmap boxIcon(QMessageBox::Icon kind, QWidget* box) {
    const int side = box->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, box);
    const qreal ratio = box->devicePixelRatioF();
    const QIcon styled = box->style()->standardIcon(standardPixmapOf(kind), nullptr, box);
    const QList<QSize> sizes = styled.availableSizes();
    const bool fine =
        !styled.isNull() &&
        (sizes.isEmpty() || std::any_of(sizes.cbegin(), sizes.cend(), [&](const QSize& size) {
             return size.width() >= side * ratio;
         }));
    return fine ? styled.pixmap(QSize(side, side), ratio) : drawnIcon(kind, side, ratio);
}

class CentredBox : public QMessageBox {
public:
    CentredBox(const QString& caption, const QString& text, QWidget* owner,
               QMessageBox::Icon icon = QMessageBox::Critical)
        : QMessageBox(icon, caption, boxText(text), QMessageBox::Ok, owner)
        , m_owner(owner) {
        setIconPixmap(boxIcon(icon, this));
    }

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event); // gives the box its size
        if (!event->spontaneous())
            // The size the layout gives is final only now.
            if (layout())
                layout()->activate();
        centreOnOwner(this, m_owner);
    }

private:
    QWidget* m_owner;
};

// Dates as a Japanese reader writes them, when the toolkit speaks Japanese to the user.
QLocale dialogLocale() {
    static const bool japanese =
        QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + u"/qtbase_ja.qm"_s);
    return japanese ? QLocale(QLocale::Japanese, QLocale::Japan) : QLocale();
}

constexpr int kSizeColumn = 1;
constexpr int kDateColumn = 3;

// The view of the dialog's folder model: when asked, only the folder's executable files (and
// its folders, to move through); sizes and dates in the dialog's locale.
class FileViewModel : public QSortFilterProxyModel {
public:
    explicit FileViewModel(QObject* parent)
        : QSortFilterProxyModel(parent) {}

    void setExecutablesOnly(bool on) {
        if (on == m_executablesOnly)
            return;
        m_executablesOnly = on;
        invalidateFilter();
    }
    bool executablesOnly() const { return m_executablesOnly; }

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = folderModel();
        if (role == Qt::DisplayRole && files) {
            const QModelIndex source = mapToSource(index);
            if (index.column() == kDateColumn) {
                const QDateTime modified = files->lastModified(source);
                if (modified.isValid())
                    return dialogLocale().toString(modified, QLocale::ShortFormat);
            } else if (index.column() == kSizeColumn && !files->isDir(source)) {
                return dialogLocale().formattedDataSize(files->size(source));
            }
        }
        return QSortFilterProxyModel::data(index, role);
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = folderModel();
        if (!m_executablesOnly || !files)
            return true;
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        return info.isDir() || (info.isFile() && info.isExecutable());
    }

private:
    const QFileSystemModel* folderModel() const {
        return qobject_cast<const QFileSystemModel*>(sourceModel());
    }

    bool m_executablesOnly = false;
};

class FileDialog : public QFileDialog {
public:
    FileDialog(QWidget* owner, const FileDialogRequest& request)
        : QFileDialog(owner, request.title, request.startDir, qtFileFilter(request.filter))
        , m_owner(owner) {
        // Qt's own dialog on every desktop: the filters and columns below are its.
        setOption(QFileDialog::DontUseNativeDialog);
        m_view = new FileViewModel(this);
        setProxyModel(m_view);
        // Every column as wide as its longest entry, the names taking what is left.
        if (auto* details = findChild<QTreeView*>(u"treeView"_s)) {
            QHeaderView* header = details->header();
            header->setStretchLastSection(false);
            header->setSectionResizeMode(0, QHeaderView::Stretch);
            for (int column = 1; column < header->count(); ++column)
                header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        }
        if (request.executables) {
            // The designed text names Windows programs; the folder's own programs are meant.
            const QStringList filters = nameFilters();
            const auto useFilter = [this, filters](const QString& chosen) {
                const bool first = !filters.isEmpty() && chosen == filters.first();
                if (first)
                    if (auto* files = qobject_cast<QFileSystemModel*>(m_view->sourceModel()))
                        files->setNameFilters({});
                m_view->setExecutablesOnly(first);
            };
            connect(this, &QFileDialog::filterSelected, this, useFilter);
            useFilter(selectedNameFilter());
        }
    }

protected:
    void showEvent(QShowEvent* event) override {
        QFileDialog::showEvent(event);
        if (event->spontaneous())
            return;
        // The size the layout gives is final only now.
        if (layout())
            layout()->activate();
        centreOnOwner(this, m_owner);
    }

private:
    QWidget* m_owner;
    FileViewModel* m_view = nullptr;
};

} // namespace

void setMessageSink(MessageSink sink) {
    messageSink() = std::move(sink);
}

void showStopBox(QWidget* parent, const QString& caption, const QString& text) {
    if (messageSink()) {
        messageSink()(caption, text);
        return;
    }
    // What the pass goes on past carries the warning sign, not the stop sign.
    const bool warning = caption == QString::fromUtf8(kWarningCaption);
    CentredBox box(caption, text, parent, warning ? QMessageBox::Warning : QMessageBox::Critical);
    box.exec();
}

void showInfoBox(QWidget* parent, const QString& caption, const QString& text) {
    if (messageSink()) {
        messageSink()(caption, text);
        return;
    }
    CentredBox box(caption, text, parent, QMessageBox::Information);
    box.exec();
}

namespace {

// Inside a path the line may break after a "/" and nowhere else.
QString pathBreaks(const QString& text) {
    QString shown;
    shown.reserve(text.size() * 2);
    bool inPath = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool afterBoundary = i == 0 || endsPath(text[i - 1]);
        bool starts = false;
        if (endsPath(c)) {
            inPath = false;
        } else if (!inPath && c == u'/' && (afterBoundary || text[i - 1] == u'~')) {
            inPath = true;
            starts = afterBoundary;
        }
        if (inPath && !starts && !shown.isEmpty() && shown.back() != kBreakHere)
            shown += kWordJoiner;
        shown += c;
        if (inPath && c == u'/')
            shown += kBreakHere;
    }
    return shown;
}

constexpr int kLastLineLeast = 5; // characters a box's paragraph ends with on one line

// The end of each paragraph holds together, so that no line holds only "た。": joiners go
// between its last characters (a path's break after its last "/" stays).
QString withoutOrphans(const QString& text) {
    QString shown;
    shown.reserve(text.size() + kLastLineLeast * 2);
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        const QStringView line = QStringView(text).mid(start, end - start);
        qsizetype glued = 0; // characters after the last one a line may break before
        for (qsizetype i = line.size(), seen = 0; i > 0 && seen < kLastLineLeast; --i) {
            if (line[i - 1] != kWordJoiner && line[i - 1] != kBreakHere &&
                !line[i - 1].isLowSurrogate())
                ++seen;
            glued = line.size() - (i - 1);
        }
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QChar c = line[i];
            shown += c;
            const bool inTail = i + 1 < line.size() && i >= line.size() - glued;
            if (inTail && !c.isHighSurrogate() && c != kWordJoiner && c != kBreakHere &&
                line[i + 1] != kWordJoiner && line[i + 1] != kBreakHere && !line[i + 1].isSpace() &&
                !c.isSpace())
                shown += kWordJoiner;
        }
        if (end < text.size())
            shown += u'\n';
        start = end + 1;
    }
    return shown;
}

} // namespace

QString boxText(const QString& text) {
    return withoutOrphans(pathBreaks(text));
}

void setQuestionSink(QuestionSink sink) {
    questionSink() = std::move(sink);
}

bool askYesNo(QWidget* parent, const QString& caption, const QString& text) {
    if (questionSink())
        return questionSink()(caption, text);
    QMessageBox box(QMessageBox::Question, caption, boxText(text), QMessageBox::NoButton, parent);
    box.setIconPixmap(boxIcon(QMessageBox::Question, &box));
    QPushButton* yes = box.addButton(u"はい(&Y)"_s, QMessageBox::YesRole);
    QPushButton* no = box.addButton(u"いいえ(&N)"_s, QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void showStandardError(QWidget* parent, const QString& text) {
    showStopBox(parent, u"Morvex"_s, text);
}

QString qtFileFilter(const QString& designed) {
    const QStringList parts = designed.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i];
        QString patterns = parts[i + 1];
        // On Linux "*.*" would skip names without a dot; the design means every file.
        patterns.replace(u"*.*"_s, u"*"_s).replace(u';', u' ');
        label.replace(u"(*.*)"_s, u"(*)"_s);
        if (!label.contains(u'('))
            label += u" ("_s + patterns + u')';
        else
            label = label.left(label.indexOf(u'(')) + u'(' + patterns + u')';
        filters << label;
    }
    return filters.join(u";;"_s);
}

void queueFileDialogAnswer(std::optional<QString> answer) {
    queuedAnswers().push_back(std::move(answer));
}

FileDialogRequest lastFileDialogRequest() {
    return lastRequest();
}

std::optional<QString> runFileDialog(QWidget* parent, const FileDialogRequest& request) {
    lastRequest() = request;
    if (!queuedAnswers().empty()) {
        std::optional<QString> answer = queuedAnswers().front();
        queuedAnswers().pop_front();
        return answer;
    }
    FileDialog dialog(parent, request);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save || !request.mustExist ? QFileDialog::AnyFile
                                                          : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    while (dialog.exec() == QDialog::Accepted) {
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty())
            return std::nullopt;
        const QFileInfo info(chosen.first());
        if (request.writable && info.exists() && !info.isWritable()) {
            QMessageBox::warning(&dialog, request.title, info.fileName());
            continue;
        }
        return info.absoluteFilePath();
    }
    return std::nullopt;
}

} // namespace morvex
