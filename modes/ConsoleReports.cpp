#include "modes/ConsoleReports.h"

#include "engine/Engine.h"
#include "settings/ListFolder.h"
#include "settings/MainWindowGroups.h"
#include "settings/SettingFGroups.h"

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

// A line break inside a message or a file name would split one report into two lines.
QByteArray onOneLine(QByteArray text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

} // namespace

QByteArray messageLine(const QString& caption, const QString& text) {
    return onOneLine((caption + u": "_s + text).toUtf8());
}

QByteArray resultLine(const QByteArray& path, int footers, int headers) {
    // The result dialog's own labels, in its order: file, header count, footer count.
    return onOneLine(u"変換結果: ﾌｧｲﾙ: "_s.toUtf8() + path +
                     u", ﾍｯﾀﾞ変換数: %1個, ﾌｯﾀ変換数: %2個"_s.arg(headers).arg(footers).toUtf8());
}

void writeLine(std::FILE* stream, const QByteArray& line) {
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void writeResult(const FileResult& result, const SettingFState& dialog, std::FILE* stream) {
    if (dialog.ShowResult)
        writeLine(stream, resultLine(QByteArray::fromStdString(result.path), result.footers,
                                     result.headers));
}

void writeStoreError(const QString& text) {
    writeLine(stderr, messageLine(QStringLiteral("Morvex"), text));
}

void writeEngineError(const std::string& text, const std::string& caption) {
    writeLine(stderr, messageLine(QString::fromUtf8(caption), QString::fromUtf8(text)));
}

bool loadMainFieldsWithoutDesktop(MainWindowSettings& fields, LoadWrites writes) {
    StoreResult result = PruneOldVendorKey(writes);
    if (result)
        result = LoadMainSettings(fields, listFolder(), writes);
    if (!result)
        writeStoreError(result.message());
    return result.ok();
}

ExitStatus saveMainFieldsWithoutDesktop(const MainWindowSettings& fields) {
    const StoreResult saved = saveMainWindowGroups(fields);
    if (saved)
        return ExitStatus::Done;
    writeStoreError(saved.message());
    return ExitStatus::SaveFailed;
}

} // namespace morvex
