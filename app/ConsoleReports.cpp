#include "ConsoleReports.h"

#include "ProcessEnd.h"
#include "SettingsGroups.h"

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

void writeStoreError(const QString& text) {
    writeLine(stderr, messageLine(QStringLiteral("Morvex"), text));
}

void writeEngineError(const std::string& text, const std::string& caption) {
    writeLine(stderr, messageLine(QString::fromUtf8(caption), QString::fromUtf8(text)));
}

bool loadMainFieldsWithoutDesktop(MainWindowSettings& fields, bool readOldKeysInPlace) {
    if (readOldKeysInPlace)
        ReadOldKeysInPlace();
    StoreResult result = PruneOldVendorKey();
    if (result)
        result = LoadMainSettings(fields, programDirectory());
    if (!result)
        writeStoreError(result.message());
    return result.ok();
}

int saveMainFieldsWithoutDesktop(const MainWindowSettings& fields) {
    int status = 0;
    for (const StoreResult& saved : {SaveSystemGroup(fields), SaveFileGroup(fields)}) {
        if (!saved) {
            writeStoreError(saved.message());
            status = kSaveFailedStatus;
        }
    }
    return status;
}

} // namespace morvex
