#include "SettingsStore.h"

#include "RegDocument.h"
#include "StoreFile.h"

#include <QStandardPaths>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace morvex {

QString StoreError::message() const {
    QString text;
    switch (m_kind) {
    case Kind::WrongType:
        text = u"'%1' のﾃﾞｰﾀ型が不正です"_s.arg(m_valueName);
        break;
    case Kind::ReadFailed:
        text = u"'%1' の取得に失敗しました"_s.arg(m_valueName);
        break;
    case Kind::WriteFailed:
        text = u"'%1' の設定に失敗しました"_s.arg(m_valueName);
        break;
    case Kind::FileUnusable:
        return m_detail;
    }
    return m_detail.isEmpty() ? text : text + u'\n' + m_detail;
}

SettingsStore::SettingsStore()
    : SettingsStore(defaultFilePath()) {}

SettingsStore::SettingsStore(QString filePath)
    : m_filePath(std::move(filePath)) {}

SettingsStore::~SettingsStore() {
    if (!m_pending.empty())
        (void)commit();
}

QString SettingsStore::defaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           u"/morvex/settings.reg"_s;
}

bool SettingsStore::loadDocument() {
    auto read = storefile::read(m_filePath);
    if (auto* reason = std::get_if<QString>(&read)) {
        m_fileError = StoreError(StoreError::Kind::FileUnusable, {}, *reason);
        m_document.reset();
        return false;
    }
    m_document = std::make_unique<RegDocument>(std::get<RegDocument>(std::move(read)));
    m_fileError.reset();
    return true;
}

bool SettingsStore::StoreOpen(const QString& keyPath, bool create) {
    if (m_openKey)
        (void)StoreClose(); // a failure is kept in fileError()
    const auto key = RegDocument::fromStorePath(keyPath);
    if (!key || !loadDocument())
        return false;
    if (!m_document->keyExists(*key)) {
        if (!create)
            return false;
        (void)record(StoreChange::createKey(*key));
    }
    m_openKey = *key;
    return true;
}

StoreResult SettingsStore::StoreClose() {
    m_openKey.reset();
    return commit();
}

bool SettingsStore::ValuePresent(const QString& name) const {
    return m_openKey && m_document && m_document->value(*m_openKey, name);
}

StoreValue<QString> SettingsStore::ReadText(const QString& name) const {
    if (!m_openKey || !m_document)
        return StoreError(StoreError::Kind::ReadFailed, name);
    const RegValue* value = m_document->value(*m_openKey, name);
    if (!value)
        return QString();
    if (value->kind == RegValue::Kind::Text)
        return value->text;
    // A text value whose bytes are not whole UTF-16 cannot be fetched as text.
    if (value->kind == RegValue::Kind::Raw && value->rawType == 1)
        return StoreError(StoreError::Kind::ReadFailed, name);
    return StoreError(StoreError::Kind::WrongType, name);
}

StoreValue<qint32> SettingsStore::ReadNumber(const QString& name) const {
    const RegValue* value = m_openKey && m_document ? m_document->value(*m_openKey, name) : nullptr;
    if (!value || (value->kind == RegValue::Kind::Raw && value->rawType == 4))
        return StoreError(StoreError::Kind::ReadFailed, name);
    if (value->kind != RegValue::Kind::Number)
        return StoreError(StoreError::Kind::WrongType, name);
    return value->number;
}

StoreResult SettingsStore::WriteText(const QString& name, const QString& text) {
    return record(
        StoreChange::setValue(m_openKey.value_or(QString()), name, RegValue::fromText(text)));
}

StoreResult SettingsStore::WriteNumber(const QString& name, qint32 value) {
    return record(
        StoreChange::setValue(m_openKey.value_or(QString()), name, RegValue::fromNumber(value)));
}

StoreResult SettingsStore::WriteIfStill(const QString& name, const RegValue& value,
                                        const std::optional<RegValue>& found) {
    return record(StoreChange::setValueIfStill(m_openKey.value_or(QString()), name, value, found));
}

bool SettingsStore::HasChildKeys() const {
    return m_openKey && m_document && m_document->hasChildKeys(*m_openKey);
}

QStringList SettingsStore::valueNames() const {
    return m_openKey && m_document ? m_document->valueNames(*m_openKey) : QStringList();
}

const RegValue* SettingsStore::storedValue(const QString& name) const {
    return m_openKey && m_document ? m_document->value(*m_openKey, name) : nullptr;
}

bool SettingsStore::RemoveKeyTree(const QString& keyPath) {
    const auto key = RegDocument::fromStorePath(keyPath);
    if (!key || key->isEmpty())
        return false;
    if ((!m_document || m_pending.empty()) && !loadDocument())
        return false;
    if (!m_document->keyExists(*key))
        return false;
    if (!record(StoreChange::removeTree(*key)).ok())
        return false;
    return commit().ok();
}

StoreResult SettingsStore::record(StoreChange change) {
    if (change.kind == StoreChange::Kind::SetValue) {
        const QString detail = m_fileError ? m_fileError->message() : QString();
        if (!m_openKey || !m_document || !m_document->keyExists(change.path) ||
            !RegDocument::validName(change.name))
            return StoreError(StoreError::Kind::WriteFailed, change.name, detail);
    }
    change.applyTo(*m_document);
    m_pending.push_back(std::move(change));
    return {};
}

StoreResult SettingsStore::commit() {
    if (m_pending.empty())
        return {};
    const std::vector<StoreChange> changes = std::move(m_pending);
    m_pending.clear();
    const auto named = std::find_if(changes.begin(), changes.end(), [](const StoreChange& c) {
        return c.kind == StoreChange::Kind::SetValue;
    });
    const QString name = named != changes.end() ? named->name : u'\\' + changes.front().path;
    auto fail = [&](const QString& reason) {
        m_fileError = StoreError(StoreError::Kind::FileUnusable, {}, reason);
        return StoreResult(StoreError(StoreError::Kind::WriteFailed, name, reason));
    };
    if (auto reason = storefile::prepareDirectory(m_filePath))
        return fail(*reason);
    storefile::CommitLock lock(m_filePath);
    if (auto reason = lock.acquire())
        return fail(*reason);
    // Apply only this handle's changes to the file as it is now, so that other processes'
    // commits since this handle read it are kept.
    auto current = storefile::read(m_filePath);
    if (auto* reason = std::get_if<QString>(&current))
        return fail(*reason);
    RegDocument document = std::get<RegDocument>(std::move(current));
    for (auto change = changes.begin(); change != changes.end(); ++change) {
        // A value written later in this commit makes its key anyway; left to it, a key whose
        // values all keep what others wrote (a key the user deleted) is not made again empty.
        if (change->kind == StoreChange::Kind::CreateKey &&
            std::any_of(change + 1, changes.end(), [&](const StoreChange& later) {
                return later.kind == StoreChange::Kind::SetValue && later.path == change->path;
            }))
            continue;
        change->applyTo(document);
    }
    if (document.modified()) {
        const QByteArray bytes = document.serialize();
        const auto reread = RegDocument::parse(bytes);
        const auto* check = std::get_if<RegDocument>(&reread);
        if (!check || !check->sameContent(document))
            return fail(u"書き込む内容を読み直すと一致しないため、書き込みを取りやめました"_s);
        if (auto reason = storefile::write(m_filePath, bytes))
            return fail(*reason);
    }
    m_document = std::make_unique<RegDocument>(std::move(document));
    m_fileError.reset();
    return {};
}

} // namespace morvex
