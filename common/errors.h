// Error types raised by the library classes where a failure must reach the caller.
#pragma once

#include <QString>

#include <stdexcept>

// A failure with a message fit to show to a user; the callers catch it at their event handlers.
class SuiteError : public std::runtime_error
{
public:
    explicit SuiteError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

// Hex text that is not hexadecimal where the cipher needs a digit pair.
class CipherError : public SuiteError
{
public:
    CipherError(const QString &message, qsizetype position)
        : SuiteError(message), m_position(position)
    {
    }
    // 0-based character offset of the pair that failed.
    qsizetype position() const noexcept { return m_position; }

private:
    qsizetype m_position;
};

// A line table that would pass its 16-bit limit.
class LineTableOverflow : public SuiteError
{
public:
    using SuiteError::SuiteError;
};
