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

namespace detail {

// Whether a call failed, and why: what every Result holds.
class Outcome
{
public:
    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    // Empty on success.
    const QString &error() const { return m_error; }

protected:
    Outcome() = default;
    explicit Outcome(Failure failure)
        : m_error(std::move(failure.text))
        , m_failed(true)
    {
    }

private:
    QString m_error;
    bool m_failed = false;
};

} // namespace detail

// What every store function gives back: a value, or the failure that kept it from one. It must
// be looked at: a write whose failure went unread would be reported to the user as saved.
template <typename T = void> class [[nodiscard]] Result : public detail::Outcome
{
public:
    Result(T value)
        : m_value(std::move(value))
    {
    }
    Result(Failure failure)
        : Outcome(std::move(failure))
    {
    }

    const T &value() const { return m_value; }
    T &value() { return m_value; }
    const T &operator*() const { return m_value; }
    T &operator*() { return m_value; }
    const T *operator->() const { return &m_value; }
    T *operator->() { return &m_value; }

private:
    T m_value{};
};

template <> class [[nodiscard]] Result<void> : public detail::Outcome
{
public:
    Result() = default;
    Result(Failure failure)
        : Outcome(std::move(failure))
    {
    }
};

// Success with no value, for functions that return Result<>.
inline Result<> done()
{
    return {};
}

} // namespace store
