#include "app/StarterLists.h"

#include "engine/PassValues.h"
#include "gui/Dialogs.h"
#include "settings/EngineBytes.h"

#include <QDir>
#include <QFile>

// Resources of a static library must be registered by hand, from the global namespace.
static void initStarterResources() {
    Q_INIT_RESOURCE(starter);
}

namespace morvex {
using namespace Qt::StringLiterals;

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
    QString error;
    writeStarterLists(folder, &error);
    if (!error.isEmpty())
        showStandardError(window, u"見本のリストを置けませんでした。\n"_s + error);
}

QStringList writeStarterLists(const QString& folder, QString* error) {
    QStringList written;
    if (!QDir().mkpath(folder)) {
        *error = u"フォルダ %1 を作れませんでした。"_s.arg(folder);
        return written;
    }
    for (const StarterList& list : starterLists()) {
        QFile file(QDir(folder).filePath(list.name));
        // NewOnly: a list the user has by that name stays as it is.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            *error = u"%1 を書き込めませんでした: %2"_s.arg(file.fileName(), file.errorString());
            continue;
        }
        if (file.write(list.bytes) != list.bytes.size() || !file.flush()) {
            *error = u"%1 を書き込めませんでした: %2"_s.arg(file.fileName(), file.errorString());
            file.close();
            file.remove();
            continue;
        }
        written << file.fileName();
    }
    return written;
}

} // namespace morvex
