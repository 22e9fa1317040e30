#include "app/StarterLists.h"

#include "engine/PassValues.h"
#include "gui/Dialogs.h"
#include "settings/EngineBytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// Resources of a static library must be registered by hand, from the global namespace.
static void initStarterResources() {
    Q_INIT_RESOURCE(starter);
}

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

// A dangling link counts as there too: writing through it would put the list elsewhere.
bool taken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

QList<StarterList> starterLists() {
    initStarterResources();
    QList<StarterList> lists;
    for (const QString& name : {u"header.mhl"_s, u"footer.mfl"_s}) {
        QFile file(u":/starter/"_s + name);
        if (file.open(QIODevice::ReadOnly))
            lists.push_back({name, file.readAll()});
    }
    return lists;
}

bool holdsNoList(const QString& folder) {
    // Name filters match without regard to case.
    return QDir(folder)
        .entryList({fromBytes(kFooterListName), fromBytes(kHeaderListName)}, QDir::Files)
        .isEmpty();
}

QStringList missingStarterLists(const QString& folder) {
    QStringList missing;
    for (const StarterList& list : starterLists()) {
        if (!taken(QDir(folder).filePath(list.name)))
            missing << list.name;
    }
    return missing;
}

void offerStarterLists(QWidget* window, const QString& folder) {
    if (!holdsNoList(folder))
        return;
    const QString question =
        u"ヘッダリストとフッタリストがまだありません。\n\n"
        u"%1 に見本のリスト header.mhl と footer.mfl を置きますか？\n\n"
        u"見本には使い方の説明が書いてあります。ﾍｯﾀﾞﾘｽﾄ・ﾌｯﾀﾘｽﾄの丸いボタンで開く"
        u"リストファイルビューアの「リストを編集」で、自由に書き換えてください。"_s.arg(folder);
    if (!askYesNo(window, u"Morvex"_s, question))
        return;
    const StarterOutcome outcome = writeStarterLists(folder);
    if (!outcome.error.isEmpty())
        showStandardError(window, u"見本のリストを置けませんでした。\n"_s + outcome.error);
}

StarterOutcome writeStarterLists(const QString& folder) {
    StarterOutcome outcome;
    if (!QDir().mkpath(folder)) {
        outcome.error = u"フォルダ %1 を作れませんでした。"_s.arg(folder);
        return outcome;
    }
    for (const StarterList& list : starterLists()) {
        QFile file(QDir(folder).filePath(list.name));
        if (taken(file.fileName())) {
            outcome.kept << file.fileName();
            continue;
        }
        // NewOnly as well: a file made meanwhile by that name stays as it is.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            outcome.error =
                u"%1 を書き込めませんでした: %2"_s.arg(file.fileName(), file.errorString());
            continue;
        }
        if (file.write(list.bytes) != list.bytes.size() || !file.flush()) {
            outcome.error =
                u"%1 を書き込めませんでした: %2"_s.arg(file.fileName(), file.errorString());
            file.close();
            file.remove();
            continue;
        }
        outcome.written << file.fileName();
    }
    return outcome;
}

void reportStarterLists(QWidget* window, const StarterOutcome& outcome, const QString& note) {
    if (!outcome.error.isEmpty()) {
        showStandardError(window, u"サンプルのリストを作成できませんでした。\n"_s + outcome.error);
        return;
    }
    QStringList parts;
    if (!outcome.written.isEmpty())
        parts << u"サンプルのリストを作成しました:\n"_s + outcome.written.join(u'\n');
    if (!outcome.kept.isEmpty())
        parts << u"同じ名前のファイルがあるため、そのままにしました:\n"_s +
                     outcome.kept.join(u'\n');
    if (!outcome.written.isEmpty())
        parts << u"ﾍｯﾀﾞﾘｽﾄ・ﾌｯﾀﾘｽﾄの丸いボタンで開くリストファイルビューアの"
                 u"「リストを編集」で、［ここにハンドル名］などを書き換えてから使ってください。"_s;
    if (!note.isEmpty())
        parts << note;
    showInfoBox(window, u"Morvex"_s, parts.join(u"\n\n"_s));
}

} // namespace morvex
