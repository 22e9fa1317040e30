#include "settings/SjisByteValidator.h"

#include "engine/PassValues.h"
#include "settings/EngineBytes.h"

#include <QLineEdit>

namespace morvex {

SjisByteValidator::SjisByteValidator(QLineEdit* edit, Check check)
    : QValidator(edit)
    , m_check(std::move(check))
    , m_last(edit->text()) {
    // The edit asks before it takes a text, so the text it had is kept here.
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { m_last = text; });
}

bool SjisByteValidator::fits(const QString& text) const {
    return m_check(bytes(text));
}

QValidator::State SjisByteValidator::validate(QString& input, int& /*pos*/) const {
    if (fits(input))
        return Acceptable;
    // A change that shortens a text that does not fit (one set from the store) is let through,
    // so the user can mend it a character at a time; it is never taken as acceptable.
    if (input.size() < m_last.size() && !fits(m_last))
        return Intermediate;
    return Invalid;
}

void limitToMarker(QLineEdit* edit) {
    // Whatever the upload files' encoding: the pass says when a marker does not suit UTF-8.
    edit->setValidator(new SjisByteValidator(edit, [](std::string_view field) {
        return markerFault(field, TextEncoding::ShiftJis) == ValueFault::None;
    }));
}

void limitToBackupExt(QLineEdit* edit) {
    edit->setValidator(new SjisByteValidator(
        edit, [](std::string_view ext) { return backupExtFault(ext) == ValueFault::None; }));
}

} // namespace morvex
