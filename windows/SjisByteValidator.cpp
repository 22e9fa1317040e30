#include "windows/SjisByteValidator.h"

#include "settings/Sjis.h"

#include <QLineEdit>
#include <algorithm>

namespace morvex {

SjisByteValidator::SjisByteValidator(QLineEdit* edit, int maxBytes, const QString& refused)
    : QValidator(edit)
    , m_maxBytes(maxBytes)
    , m_refused(refused)
    , m_last(edit->text()) {
    // The edit asks before it takes a text, so the text it had is kept here.
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { m_last = text; });
}

bool SjisByteValidator::fits(const QString& text) const {
    return sjis::encodable(text) &&
           std::none_of(text.cbegin(), text.cend(),
                        [this](QChar c) { return m_refused.contains(c); }) &&
           sjis::encode(text).size() <= m_maxBytes;
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

void limitToSjisBytes(QLineEdit* edit, int maxBytes, const QString& refused) {
    edit->setValidator(new SjisByteValidator(edit, maxBytes, refused));
}

} // namespace morvex
