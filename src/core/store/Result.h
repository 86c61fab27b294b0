#pragma once

#include <QString>

#include <utility>

namespace store {

// What kind of failure a call met, for callers that act on it (offer a reload, ask for a
// password, skip a book already there); the text is what the user is told.
enum class FailureKind {
    Failed,           // any other failure: the text says what
    InUse,            // another program held the store past the busy timeout; trying again helps
    ChangedElsewhere, // another program changed or deleted what this one read
    NeedsPassword,    // the server wants a password that was not given, or refused it
    NotFound,         // the book or file named is not there
    Duplicate,        // a book with that label (letter case ignored) is there already
    Invalid,          // the input breaks a rule: a label, a file's contents
    Io,               // a file or folder could not be read or written
    Damaged,          // the store is not one of this program's, or not whole
    Cancelled,        // the user stopped it; nothing was written
};

// A failed store call: the text names what failed and why, ready for a message box.
struct Failure
{
    QString text;
    FailureKind kind = FailureKind::Failed;
};

inline Failure fail(QString text, FailureKind kind = FailureKind::Failed)
{
    return Failure{std::move(text), kind};
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
    // Failed on success too: look at ok() first.
    FailureKind kind() const { return m_kind; }
    bool is(FailureKind kind) const { return m_failed && m_kind == kind; }
    // The failure as it came, to hand on unchanged.
    Failure failure() const { return Failure{m_error, m_kind}; }

protected:
    Outcome() = default;
    explicit Outcome(Failure failure)
        : m_error(std::move(failure.text))
        , m_kind(failure.kind)
        , m_failed(true)
    {
    }

private:
    QString m_error;
    FailureKind m_kind = FailureKind::Failed;
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
