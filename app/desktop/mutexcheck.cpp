#include "app/desktop/mutexcheck.h"

#include "modes/ProcessEnd.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>
#include <QUrl>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

// Well below NAME_MAX (255) with the ".lock" Qt's own temporary names add.
constexpr qsizetype kLongestName = 200;

} // namespace

TCheckMutex::TCheckMutex(QObject* parent)
    : QObject(parent) {}

TCheckMutex::~TCheckMutex() = default;

QString TCheckMutex::guardFolder() {
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !QFileInfo(base).isDir())
        base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(base).filePath(u"morvex"_s);
}

QString TCheckMutex::guardPath(const QString& id) {
    // Percent-encoding leaves only letters, digits and "-._~": no "/" and no "." or ".."
    // alone, since the prefix always comes first. Overlong names are replaced by their hash.
    QString name = u"mutex-"_s + QString::fromLatin1(QUrl::toPercentEncoding(id));
    if (name.size() > kLongestName) {
        const QByteArray digest = QCryptographicHash::hash(id.toUtf8(), QCryptographicHash::Sha256);
        name = u"mutex-sha256-"_s + QString::fromLatin1(digest.toHex());
    }
    return QDir(guardFolder()).filePath(name);
}

void TCheckMutex::Loaded() {
    if (m_mutexId.isEmpty())
        return;
    const QString folder = guardFolder();
    // Owner-only: another user must not be able to plant or remove our guards.
    if (!QDir().mkpath(folder) ||
        !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        endProcess(ExitStatus::Refused);
        return;
    }
    auto lock = std::make_unique<QLockFile>(guardPath(m_mutexId));
    // Only a dead holder makes a guard stale. By default Qt also counts age (30 s), which only
    // the file lock Qt takes as well keeps from breaking a live guard: not every folder has one.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        endProcess(ExitStatus::Refused);
        return;
    }
    m_lock = std::move(lock);
}

bool TCheckMutex::holdsGuard() const {
    return m_lock && m_lock->isLocked();
}

} // namespace morvex
