#pragma once

// The --help texts of the tool and of each command.

#include <QString>

namespace Usage {

// The tool's overview: its commands and conventions.
QString tool();
// One command's help; empty for a name that is not a command.
QString command(const QString& name);

} // namespace Usage
