#pragma once

#include <QFile>
#include <QRegularExpression>
#include <QString>

// Folders the suites read from, fixed at configure time.
namespace TestPaths {
inline QString sourceDir() { return QStringLiteral(PLANFOLIO_SOURCE_DIR); }
inline QString corpusDir() { return QStringLiteral(PLANFOLIO_CORPUS_DIR); }
inline QString binaryDir() { return QStringLiteral(PLANFOLIO_BINARY_DIR); }
inline QString samplePath() { return sourceDir() + QStringLiteral("/samples/drawing-set.pdf"); }
// The version as project(VERSION) in the top CMakeLists.txt states it, read
// from the file itself; "" when it cannot be found.
inline QString projectVersion()
{
    QFile file(sourceDir() + QStringLiteral("/CMakeLists.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("project\\(\\s*Planfolio\\s+VERSION\\s+([0-9.]+)"))
            .match(QString::fromUtf8(file.readAll()));
    return match.hasMatch() ? match.captured(1) : QString();
}
} // namespace TestPaths
