#include "engine/Engine.h"

#include "engine/SafeReplace.h"
#include "engine/TextStream.h"

#include <algorithm>
#include <ctime>

namespace morvex {

ConvEngine::ConvEngine(ShowError showError, ResultCallback onResult)
    : m_showError(std::move(showError))
    , m_onResult(std::move(onResult)) {}

void ConvEngine::showError(const char* text) const {
    if (m_showError)
        m_showError(text, kErrorCaption);
}

void ConvEngine::MakeFooterPool(const std::string& pattern) {
    MergeLists(pattern, SystemTempDir(), "_Morvex_.tmp", FList, kMsgFooterListOpen, m_showError,
               ListMerge);
}

void ConvEngine::MakeHeaderPool(const std::string& pattern) {
    MergeLists(pattern, SystemTempDir(), "_Morvex_.tmh", HList, kMsgHeaderListOpen, m_showError,
               ListMerge);
}

void ConvEngine::beginPass(const ConvSettings& settings) {
    m_settings = settings;
    m_footers = 0;
    m_headers = 0;
    m_cleanedDirs.clear();
    Generator.seed(m_clock ? m_clock() : static_cast<std::uint32_t>(std::time(nullptr)));
}

void ConvEngine::ConvertAll(const ConvSettings& settings) {
    MakeFooterPool(settings.footerListPattern);
    MakeHeaderPool(settings.headerListPattern);
    ConvertedList.clear();
    beginPass(settings);
    for (const std::string& entry : settings.sources) {
        const std::string dir = DirectoryPart(entry);
        for (const std::string& name : FindFiles(entry))
            ConvertFile(dir + name);
    }
}

bool ConvEngine::ConvertOne(const std::string& path, const ConvSettings& settings) {
    beginPass(settings);
    return ConvertFile(path);
}

bool ConvEngine::ConvertFile(const std::string& path) {
    if (m_settings.skipConverted &&
        std::find(ConvertedList.begin(), ConvertedList.end(), path) != ConvertedList.end())
        return false;
    TmpStr = path;
    OutFile = path;
    TmpLbl = BackupPath(path, m_settings.backupExt);
    if (TmpLbl == path)
        return false; // the backup would be the file itself
    InsertCounts counts;
    const ReplaceOutcome outcome = replaceWithBackup(
        OutFile, TmpLbl,
        [&](TextReader& in, TextWriter& out) { counts = RewriteStream(in, out, m_settings); },
        m_cleanedDirs);
    m_footers = 0;
    m_headers = 0;
    switch (outcome) {
    case ReplaceOutcome::Replaced:
        break;
    case ReplaceOutcome::Skipped:
        return false;
    case ReplaceOutcome::CreateFailed:
        showError(kMsgOutputCreate);
        return false;
    case ReplaceOutcome::WriteFailed:
        showError(kMsgOutputWrite);
        return false;
    case ReplaceOutcome::ReadFailed:
        showError(kMsgInputRead);
        return false;
    case ReplaceOutcome::Changed:
        showError(kMsgChangedMeanwhile);
        return false;
    }
    ConvertedList.push_back(path);
    if ((counts.footers != 0 || counts.headers != 0) && m_onResult)
        m_onResult(FileResult{path, counts.footers, counts.headers});
    return true;
}

InsertCounts ConvEngine::RewriteStream(TextReader& in, TextWriter& out,
                                       const ConvSettings& settings) {
    m_footers = 0;
    m_headers = 0;
    const int footerMarker = settings.footerMarker;
    const int headerMarker = settings.headerMarker;
    bool lineStart = true;
    while (!out.failed()) {
        if (!lineStart) {
            // The rest of an ordinary line needs no byte-by-byte look.
            if (!in.copyLine(out))
                break;
            lineStart = true;
            continue;
        }
        const int c = in.get();
        if (c < 0)
            break;
        if (c == footerMarker) {
            PutFooter(out, settings); // the flag stays set: the next byte is tested again
        } else if (c == headerMarker) {
            PutHeader(in, out);
        } else {
            out.put(static_cast<char>(c));
            lineStart = c == '\n';
        }
    }
    return {m_footers, m_headers};
}

void ConvEngine::PutFooter(TextWriter& out, const ConvSettings& settings) {
    const auto entry = DrawEntry(FList, Generator);
    if (!entry)
        return;
    std::string text = ExpandEntry(*entry, EntryKind::Footer, {}, Generator);
    if (settings.alignFooters)
        text = AlignFooter(text, settings.alignColumn);
    out.write(text);
    ++m_footers;
}

void ConvEngine::PutHeader(TextReader& in, TextWriter& out) {
    const auto entry = DrawEntry(HList, Generator);
    if (!entry)
        return; // the rest of the line stays, copied as ordinary text
    std::string rest;
    in.readLine(rest);
    out.write(ExpandEntry(*entry, EntryKind::Header, rest, Generator));
    out.put('\n');
    ++m_headers;
}

} // namespace morvex
