#include "settings/StoreFile.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace morvex::storefile {

namespace {

constexpr int kLockWaitMs = 10000;
constexpr int kStaleLockMs = 60000;
constexpr qint64 kAbandonedLockMs = 1000;

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// The rename itself is only durable once the directory entry is on disk too.
void syncDirectory(const QString& dir) {
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Why a file cannot be made beside `path`, found by making one: QLockFile keeps its errno to
// itself, and a full disk, an immutable folder or an I/O error each want saying as they are.
QString creationFailure(const QString& path) {
    QByteArray probe = QFile::encodeName(path + u".probe-XXXXXX"_s);
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(strerror(errno));
    const char pid[] = "0\n";
    const bool written = ::write(fd, pid, sizeof pid - 1) == sizeof pid - 1;
    const int writeError = errno;
    ::close(fd);
    ::unlink(probe.constData());
    return written ? u"原因不明"_s : QString::fromLocal8Bit(strerror(writeError));
}

} // namespace

std::variant<RegDocument, QString> read(const QString& path) {
    // Opened without blocking and checked before anything is read: a FIFO or a device in the
    // file's place would otherwise hang the start or never end.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return RegDocument();
    if (fd < 0) {
        return u"設定ファイル \"%1\" を開けません: %2"_s.arg(
            shown(path), QString::fromLocal8Bit(strerror(errno)));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return u"設定ファイル \"%1\" は通常のファイルではありません"_s.arg(shown(path));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return u"設定ファイル \"%1\" を開けません: %2"_s.arg(shown(path), file.errorString());
    }
    // Bounded read: a device or a runaway file must not be read without end.
    QByteArray bytes;
    while (bytes.size() <= kMaxFileSize) {
        const QByteArray chunk = file.read(64 * 1024);
        if (chunk.isEmpty())
            break;
        bytes += chunk;
    }
    if (file.error() != QFileDevice::NoError)
        return u"設定ファイル \"%1\" を読めません: %2"_s.arg(shown(path), file.errorString());
    if (bytes.size() > kMaxFileSize) {
        return u"設定ファイル \"%1\" が大きすぎます (%2 MiB まで)"_s.arg(shown(path))
            .arg(kMaxFileSize / (1024 * 1024));
    }
    auto parsed = RegDocument::parse(bytes);
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
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    auto failure = [&] {
        QString reason =
            u"設定ファイル \"%1\" に書き込めません: %2"_s.arg(shown(path), file.errorString());
        file.cancelWriting();
        return reason;
    };
    if (!file.open(QIODevice::WriteOnly))
        return failure();
    // The file holds the user's paths and command lines: owner-only, whatever it was before.
    if (::fchmod(file.handle(), S_IRUSR | S_IWUSR) != 0)
        return failure();
    if (file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0)
        return failure();
    if (!file.commit())
        return u"設定ファイル \"%1\" に書き込めません: %2"_s.arg(shown(path), file.errorString());
    syncDirectory(QFileInfo(path).absolutePath());
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
