#include "gui/OpenDocument.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace morvex {
using namespace Qt::StringLiterals;

void openDocument(QObject* owner, const QString& path, std::function<void()> failed) {
    // xdg-open answers with its status whether it found an application and could start it;
    // without it, Qt's own means (a desktop portal) are the only way left.
    const QString launcher = QStandardPaths::findExecutable(u"xdg-open"_s);
    if (launcher.isEmpty()) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            failed();
        return;
    }
    // Without an owner the launcher ends itself when it is done.
    auto* process = new QProcess(owner);
    process->setProgram(launcher);
    process->setArguments({path});
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed](int status, QProcess::ExitStatus how) {
                         if (how != QProcess::NormalExit || status != 0)
                             failed();
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         failed();
                         process->deleteLater();
                     });
    process->start();
}

} // namespace morvex
