#include "settings/StoreFile.h"

#include "engine/StateFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <sys/stat.h>
#include <thread>

using namespace Qt::StringLiterals;

namespace morvex::storefile {

namespace {

constexpr int kLockWaitMs = 10000;
constexpr int kStaleLockMs = 60000;
constexpr qint64 kAbandonedLockMs = 1000;

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Why a file cannot be made beside `path`, found by making one: QLockFile keeps its errno to
// itself, and a full disk, an immutable folder or an I/O error each want saying as they are.
QString creationFailure(const QString& path) {
    const QString probe = path + u".probe-"_s + QString::number(QCoreApplication::applicationPid());
    const int error = replaceStateFile(QFile::encodeName(probe).toStdString(), "0\n", 0600);
    QFile::remove(probe);
    return error == 0 ? u"原因不明"_s : QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

static QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

std::variant<RegDocument, QString> read(const QString& path) {
    // Opened without blocking and checked before anything is read: a FIFO or a device in the
    // file's place would otherwise hang the start or never end. Bounded: a runaway file is
    // never read without end.
    std::string text;
    switch (readStateFile(QFile::encodeName(path).toStdString(), text,
                          static_cast<std::size_t>(kMaxFileSize))) {
    case StateRead::Read:
        break;
    case StateRead::Missing:
        return RegDocument();
    case StateRead::NotRegular:
        return u"設定ファイル \"%1\" は通常のファイルではありません"_s.arg(shown(path));
    case StateRead::TooLarge:
        return u"設定ファイル \"%1\" が大きすぎます (%2 MiB まで)"_s.arg(shown(path))
            .arg(kMaxFileSize / (1024 * 1024));
    case StateRead::Failed:
        return u"設定ファイル \"%1\" を読めません: %2"_s.arg(shown(path), reason(errno));
    }
    auto parsed = RegDocument::parse(QByteArray::fromStdString(text));
    if (auto* error = std::get_if<RegParseError>(&parsed))
        return error->message(shown(path));
    return std::get<RegDocument>(std::move(parsed));
}

std::optional<QString> prepareDirectory(const QString& path) {
    const QString dir = QFileInfo(path).absolutePath();
    if (QFileInfo(dir).isDir())
        return std::nullopt;
    if (!QDir().mkpath(dir))
        return u"設定ファイルのフォルダ \"%1\" を作れません"_s.arg(shown(dir));
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return std::nullopt;
}

std::optional<QString> write(const QString& path, const QByteArray& bytes) {
    // The file holds the user's paths and command lines: owner-only, whatever it was before.
    const int error =
        replaceStateFile(QFile::encodeName(path).toStdString(),
                         std::string_view(bytes.constData(), bytes.size()), S_IRUSR | S_IWUSR);
    if (error != 0)
        return u"設定ファイル \"%1\" に書き込めません: %2"_s.arg(shown(path), reason(error));
    return std::nullopt;
}

CommitLock::CommitLock(const QString& path)
    : m_lock(path + u".lock"_s)
    , m_path(path) {
    m_lock.setStaleLockTime(kStaleLockMs);
}

qint64 CommitLock::lockAge() const {
    const QDateTime modified = QFileInfo(m_path + u".lock"_s).lastModified();
    return modified.isValid() ? std::abs(modified.msecsTo(QDateTime::currentDateTime())) : 0;
}

std::optional<QString> CommitLock::acquire() {
    // QLockFile's own waiting sleeps 100 ms and more between tries; commits take a few ms, so
    // poll at a short, jittered interval instead.
    QDeadlineTimer deadline(kLockWaitMs);
    while (!m_lock.tryLock(0)) {
        if (m_lock.error() == QLockFile::PermissionError)
            return u"設定ファイル \"%1\" をロックできません: フォルダに書き込めません"_s.arg(
                shown(m_path));
        // QLockFile gives this when the lock file cannot be made or written, for any reason.
        if (m_lock.error() == QLockFile::UnknownError)
            return u"設定ファイル \"%1\" をロックできません: ロックファイルを書けません (%2)"_s.arg(
                shown(m_path), creationFailure(m_path));
        if (m_lock.error() != QLockFile::LockFailedError)
            return u"設定ファイル \"%1\" をロックできません"_s.arg(shown(m_path));
        // A holder killed between creating the lock file and writing its process id into it
        // leaves a file QLockFile calls stale only after a minute. No commit holds the lock for
        // a second, and the removal takes the file's native lock first, so it fails while a live
        // holder has the file.
        if (lockAge() > kAbandonedLockMs && m_lock.removeStaleLockFile())
            continue;
        if (deadline.hasExpired())
            return u"設定ファイル \"%1\" は他のプロセスが書き込み中です"_s.arg(shown(m_path));
        std::this_thread::sleep_for(
            std::chrono::microseconds(500 + QRandomGenerator::global()->bounded(1500)));
    }
    return std::nullopt;
}

} // namespace morvex::storefile
