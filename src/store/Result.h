#pragma once

#include <QString>

#include <utility>

namespace store {

// A failed store call: the text names what failed and why, ready for a message box.
struct Failure
{
    QString text;
};

inline Failure fail(QString text)
{
    return Failure{std::move(text)};
}

// What every store function gives back: a value, or the failure that kept it from one. It must
// be looked at: a write whose failure went unread would be reported to the user as saved.
template <typename T = void> class [[nodiscard]] Result
{
public:
    Result(T value)
        : m_value(std::move(value))
    {
    }
    Result(Failure failure)
        : m_error(std::move(failure.text))
        , m_failed(true)
    {
    }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    // Empty on success.
    const QString &error() const { return m_error; }

    const T &value() const { return m_value; }
    T &value() { return m_value; }
    const T &operator*() const { return m_value; }
    T &operator*() { return m_value; }
    const T *operator->() const { return &m_value; }
    T *operator->() { return &m_value; }

private:
    T m_value{};
    QString m_error;
    bool m_failed = false;
};

template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Failure failure)
        : m_error(std::move(failure.text))
        , m_failed(true)
    {
    }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString &error() const { return m_error; }

private:
    QString m_error;
    bool m_failed = false;
};

// Success with no value, for functions that return Result<>.
inline Result<> done()
{
    return {};
}

} // namespace store
