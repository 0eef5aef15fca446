#pragma once

#include <QString>

// Folders the suites read from, fixed at configure time.
namespace TestPaths {
inline QString sourceDir() { return QStringLiteral(PLANFOLIO_SOURCE_DIR); }
inline QString corpusDir() { return QStringLiteral(PLANFOLIO_CORPUS_DIR); }
inline QString binaryDir() { return QStringLiteral(PLANFOLIO_BINARY_DIR); }
inline QString samplePath() { return sourceDir() + QStringLiteral("/samples/drawing-set.pdf"); }
} // namespace TestPaths
