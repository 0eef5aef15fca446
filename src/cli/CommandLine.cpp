#include "CommandLine.h"

#include "CliFailure.h"
#include "InputEcho.h"

CommandLine::CommandLine(const QString& command, const QStringList& args, const QStringList& valued,
                         const QStringList& switches)
    : m_command(command)
{
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            m_positional.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            m_help = true;
            continue;
        }
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        const QString name = eq < 0 ? arg : arg.left(eq);
        if (valued.contains(name)) {
            if (m_values.contains(name))
                throw CliFailure::usage(name + QStringLiteral(" given twice"));
            QString value;
            if (eq >= 0) {
                value = arg.mid(eq + 1);
            } else {
                if (i + 1 >= args.size())
                    throw CliFailure::usage(name + QStringLiteral(" needs a value"));
                value = args.at(++i);
            }
            if (value.isEmpty())
                throw CliFailure::usage(name + QStringLiteral(" needs a value"));
            m_values.insert(name, value);
        } else if (switches.contains(name) && eq < 0) {
            m_switches.insert(name);
        } else {
            throw CliFailure::usage(QStringLiteral("unknown option ") + InputEcho::bounded(arg) +
                                    QStringLiteral(" for '") + m_command + QStringLiteral("'"));
        }
    }
}

bool CommandLine::has(const QString& option) const
{
    return m_values.contains(option) || m_switches.contains(option);
}

QString CommandLine::required(const QString& option) const
{
    const auto it = m_values.constFind(option);
    if (it == m_values.constEnd())
        throw CliFailure::usage(QStringLiteral("'") + m_command + QStringLiteral("' needs ") + option);
    return *it;
}

QString CommandLine::file() const
{
    if (m_positional.isEmpty())
        throw CliFailure::usage(QStringLiteral("'") + m_command + QStringLiteral("' needs a PDF file"));
    if (m_positional.size() > 1)
        throw CliFailure::usage(QStringLiteral("'") + m_command +
                                QStringLiteral("' takes one PDF file; unexpected argument '") +
                                InputEcho::bounded(m_positional.at(1)) + QStringLiteral("'"));
    return m_positional.first();
}
