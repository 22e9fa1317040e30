#include "Dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <deque>

namespace morvex {
using namespace Qt::StringLiterals;
namespace {

MessageSink& messageSink() {
    static MessageSink sink;
    return sink;
}

std::deque<std::optional<QString>>& queuedAnswers() {
    static std::deque<std::optional<QString>> answers;
    return answers;
}

FileDialogRequest& lastRequest() {
    static FileDialogRequest request;
    return request;
}

} // namespace

void setMessageSink(MessageSink sink) {
    messageSink() = std::move(sink);
}

void showStopBox(QWidget* parent, const QString& caption, const QString& text) {
    if (messageSink()) {
        messageSink()(caption, text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    box.exec();
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
    QFileDialog dialog(parent, request.title, request.startDir, qtFileFilter(request.filter));
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
