#pragma once

#include <QString>

#include <optional>
#include <utility>

// The outcome of a store operation: success, or a failure with a message for the clerk.
class [[nodiscard]] Status {
public:
    Status() = default;
    // A failure; a refused typed value also names its column.
    static Status failure(QString message, QString column = {})
    {
        return Status(std::move(message), std::move(column));
    }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString& message() const { return m_message; }
    // The column whose typed value could not be stored; empty for every other failure.
    const QString& column() const { return m_column; }

private:
    Status(QString message, QString column)
        : m_message(std::move(message))
        , m_column(std::move(column))
        , m_failed(true)
    {}

    QString m_message;
    QString m_column;
    bool m_failed = false;
};

// A value, or the failure that stood in its way.
template <typename T> class [[nodiscard]] Expected {
public:
    Expected(T value)
        : m_value(std::move(value))
    {}
    Expected(Status failure)
        : m_status(std::move(failure))
    {
        Q_ASSERT(!m_status.ok());
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const Status& status() const { return m_status; }
    const T& value() const { return *m_value; }
    T& value() { return *m_value; }
    const T* operator->() const { return &*m_value; }

private:
    std::optional<T> m_value;
    Status m_status;
};
