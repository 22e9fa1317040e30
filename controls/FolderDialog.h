#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

class QWidget;

namespace morvex {

/// A non-visual component that runs a modal folder chooser (folders only) over the file system
/// and returns the chosen folder's path. It belongs to its owner window and is modal to it.
class TFolderDialog : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(QString RootDir READ rootDir WRITE setRootDir)
    Q_PROPERTY(QString StartDir READ startDir WRITE setStartDir)
    Q_PROPERTY(QString Path READ Path)

public:
    explicit TFolderDialog(QWidget* owner);

    /// Instruction line shown above the folder tree.
    QString caption() const { return m_caption; }
    void setCaption(const QString& value) { m_caption = value; }
    /// Top of the tree; empty (or not a folder) means the whole file system.
    QString rootDir() const { return m_rootDir; }
    void setRootDir(const QString& value);
    /// Folder selected when the chooser opens; empty means none.
    QString startDir() const { return m_startDir; }
    void setStartDir(const QString& value);
    /// After Execute: the chosen folder's absolute path, or empty.
    QString Path() const { return m_path; }

    /// Runs the chooser modally; true with Path set when a folder was confirmed, false with Path
    /// emptied otherwise.
    bool Execute();

    /// One trailing "/" is dropped from values longer than one character ("/" stays "/").
    static QString withoutTrailingSeparator(const QString& path);

    /// Test seam: the next Execute answers this without showing anything (std::nullopt answers
    /// as a cancel). Each Execute consumes one queued answer.
    static void queueAnswer(std::optional<QString> answer);
    /// Drops every queued answer.
    static void clearAnswers();

    /// What the last Execute asked for, shown or answered from the queue.
    struct Request {
        QString caption;
        QString rootDir;
        QString startDir;
        QWidget* owner = nullptr;
    };
    static Request lastRequest();

private:
    std::optional<QString> browse();

    QPointer<QWidget> m_owner;
    QString m_caption;
    QString m_rootDir;
    QString m_startDir;
    QString m_path;
};

} // namespace morvex
