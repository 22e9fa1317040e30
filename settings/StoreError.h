#pragma once

#include <QString>
#include <optional>
#include <utility>

namespace morvex {

/// A failure of the settings store, with the text the standard error box shows.
class StoreError {
public:
    enum class Kind {
        WrongType, ///< "'%s' のﾃﾞｰﾀ型が不正です": a value of another type
        ReadFailed, ///< "'%s' の取得に失敗しました": a value that cannot be read (or is absent)
        WriteFailed,  ///< "'%s' の設定に失敗しました": a write the store refuses
        FileUnusable, ///< the store file cannot be read or parsed; detail names file, line, column
    };

    StoreError(Kind kind, QString valueName, QString detail = {})
        : m_kind(kind)
        , m_valueName(std::move(valueName))
        , m_detail(std::move(detail)) {}

    Kind kind() const { return m_kind; }
    /// The value the failure names (empty for FileUnusable).
    const QString& valueName() const { return m_valueName; }
    /// Why, when known (a parse error, an I/O error); empty for plain type and read failures.
    const QString& detail() const { return m_detail; }
    /// The designed text with the value's name, followed by the detail on its own line if any.
    QString message() const;

private:
    Kind m_kind;
    QString m_valueName;
    QString m_detail;
};

/// Outcome of a store operation that yields no value: success or one StoreError.
class [[nodiscard]] StoreResult {
public:
    StoreResult() = default;
    StoreResult(StoreError error)
        : m_error(std::move(error)) {}

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    /// The failure; only valid when !ok().
    const StoreError& error() const { return *m_error; }
    /// The failure's text, empty on success.
    QString message() const { return m_error ? m_error->message() : QString(); }

private:
    std::optional<StoreError> m_error;
};

/// Outcome of a read: the value or one StoreError.
template <typename T> class [[nodiscard]] StoreValue {
public:
    StoreValue(T value)
        : m_value(std::move(value)) {}
    StoreValue(StoreError error)
        : m_error(std::move(error)) {}

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    /// The value read; only valid when ok().
    const T& value() const { return *m_value; }
    /// The failure; only valid when !ok().
    const StoreError& error() const { return *m_error; }
    QString message() const { return m_error ? m_error->message() : QString(); }
    /// The outcome without the value.
    StoreResult status() const { return m_error ? StoreResult(*m_error) : StoreResult(); }

private:
    std::optional<T> m_value;
    std::optional<StoreError> m_error;
};

} // namespace morvex
