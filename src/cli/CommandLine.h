#pragma once

// The arguments of one command after its name: positional arguments, options
// that take a value ("--page 3" or "--page=3") and switches. Anything it does
// not know is a usage error, so a mistyped option never passes silently.

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

class CommandLine
{
  public:
    // Parses `args` for `command`, which accepts the options in `valued`
    // and the switches in `switches` (names with their leading "--").
    // "--help" is always accepted. Throws CliFailure (usage) on an unknown
    // option, a missing value or an option given twice.
    CommandLine(const QString& command, const QStringList& args, const QStringList& valued,
                const QStringList& switches);

    bool helpRequested() const { return m_help; }
    bool has(const QString& option) const;
    // The value of an option that must be present; usage error otherwise.
    QString required(const QString& option) const;
    // The single positional argument (the source PDF); usage error when
    // there is none or more than one.
    QString file() const;

  private:
    QString m_command;
    QStringList m_positional;
    QMap<QString, QString> m_values;
    QSet<QString> m_switches;
    bool m_help = false;
};
