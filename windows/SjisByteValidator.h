#pragma once

#include <QValidator>

class QLineEdit;

namespace morvex {

/// Keeps an edit's text within a number of Shift-JIS bytes, as the pass reads it. Text with a
/// character that has no Shift-JIS form, or that would grow beyond the limit, is refused, whether
/// typed, pasted or committed by an input method. A text already beyond the limit (set from the
/// store) may still be shortened, so the user can mend it one character at a time.
class SjisByteValidator : public QValidator {
    Q_OBJECT

public:
    /// Watches `edit` (its parent too); `refused` lists characters never accepted.
    SjisByteValidator(QLineEdit* edit, int maxBytes, const QString& refused = {});

    State validate(QString& input, int& pos) const override;

    int maxBytes() const { return m_maxBytes; }
    /// True when `text` has a Shift-JIS form within the limit and no refused character.
    bool fits(const QString& text) const;

private:
    int m_maxBytes;
    QString m_refused;
    QString m_last;
};

/// Installs a SjisByteValidator on `edit`.
void limitToSjisBytes(QLineEdit* edit, int maxBytes, const QString& refused = {});

} // namespace morvex
