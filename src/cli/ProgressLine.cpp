#include "ProgressLine.h"

#include <cstdio>
#include <unistd.h>

namespace {
// Carriage return, then "erase to end of line" after the text, so a shorter
// text never leaves the tail of a longer one behind.
constexpr const char* eraseRest = "\x1b[K";
} // namespace

ProgressLine::ProgressLine() : m_enabled(::isatty(STDERR_FILENO) == 1) {}

ProgressLine::~ProgressLine()
{
    clear();
}

void ProgressLine::show(const QString& label, int done, int total)
{
    if (!m_enabled)
        return;
    const QByteArray text =
        (label + QLatin1Char(' ') + QString::number(done) + QLatin1Char('/') + QString::number(total))
            .toUtf8();
    std::fprintf(stderr, "\r%s%s", text.constData(), eraseRest);
    std::fflush(stderr);
    m_shown = true;
}

void ProgressLine::clear()
{
    if (!m_shown)
        return;
    std::fprintf(stderr, "\r%s", eraseRest);
    std::fflush(stderr);
    m_shown = false;
}
