#pragma once

// The one way a command ends early: a message for stderr and how the process
// exits. Commands throw it; main() prints "planfolio-cli: " + message and
// exits with the code.

#include <QString>

#include <exception>

class CliFailure : public std::exception
{
  public:
    enum Kind {
        Refused,   // the input was refused or the work failed: exit 1
        Usage,     // the command line itself is wrong: exit 2
        Cancelled, // a signal cancelled the work: exit 128 + signal
    };

    CliFailure(Kind kind, QString message) : m_kind(kind), m_message(std::move(message)) {}

    static CliFailure refused(const QString& message) { return CliFailure(Refused, message); }
    static CliFailure usage(const QString& message) { return CliFailure(Usage, message); }

    Kind kind() const { return m_kind; }
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return "planfolio-cli failure"; }

  private:
    Kind m_kind;
    QString m_message;
};
