#pragma once

#include <QValidator>
#include <functional>
#include <string_view>

class QLineEdit;

namespace morvex {

/// Keeps an edit's text a value the pass takes, by the pass's own check (engine/PassValues.h):
/// the limits count Shift-JIS bytes, as the pass reads them. Text that fails the check is
/// refused, whether typed, pasted or committed by an input method. A text already failing it (set
/// from the store) may still be shortened, so the user can mend it one character at a time.
class SjisByteValidator : public QValidator {
    Q_OBJECT

public:
    /// True when the value, as UTF-8 bytes, is sound.
    using Check = std::function<bool(std::string_view)>;

    /// Watches `edit` (its parent too).
    SjisByteValidator(QLineEdit* edit, Check check);

    State validate(QString& input, int& pos) const override;

    /// True when `text` passes the check.
    bool fits(const QString& text) const;

private:
    Check m_check;
    QString m_last;
};

/// Installs on `edit` the check of a marker field: one Shift-JIS byte at most.
void limitToMarker(QLineEdit* edit);
/// Installs on `edit` the check of a backup extension: 4 Shift-JIS bytes at most, no "/".
void limitToBackupExt(QLineEdit* edit);

} // namespace morvex
