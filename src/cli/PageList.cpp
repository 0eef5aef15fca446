#include "PageList.h"

#include "CliFailure.h"
#include "InputEcho.h"

#include <QSet>

#include <algorithm>
#include <optional>

namespace {

// Digits only; larger than any page count but small enough to compare.
std::optional<qint64> pageNumber(const QString& text)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    return text.toLongLong();
}

CliFailure outOfRange(const QString& option, qint64 page, int pageCount)
{
    return CliFailure::usage(option + QStringLiteral(": page ") + QString::number(page) +
                             QStringLiteral(" is out of range; the file has ") + QString::number(pageCount) +
                             (pageCount == 1 ? QStringLiteral(" page") : QStringLiteral(" pages")));
}

} // namespace

PageList PageList::parse(const QString& option, const QString& text)
{
    PageList list;
    list.m_option = option;
    const auto malformed = [&option, &text]() {
        return CliFailure::usage(option + QStringLiteral(": '") + InputEcho::bounded(text) +
                                 QStringLiteral("' is not a page list such as 1-5,9"));
    };
    const QStringList items = text.split(QLatin1Char(','));
    for (const QString& raw : items) {
        const QString item = raw.trimmed();
        const qsizetype dash = item.indexOf(QLatin1Char('-'));
        const std::optional<qint64> first = pageNumber(dash < 0 ? item : item.left(dash).trimmed());
        const std::optional<qint64> last = dash < 0 ? first : pageNumber(item.mid(dash + 1).trimmed());
        if (!first || !last || *last < *first)
            throw malformed();
        list.m_ranges.append({*first, *last});
    }
    return list;
}

QList<int> PageList::indices(int pageCount) const
{
    QSet<int> seen;
    QList<int> result;
    for (const auto& [first, last] : m_ranges) {
        if (first < 1)
            throw outOfRange(m_option, first, pageCount);
        if (last > pageCount)
            throw outOfRange(m_option, last, pageCount);
        for (qint64 page = first; page <= last; ++page) {
            const int index = int(page - 1);
            if (!seen.contains(index)) {
                seen.insert(index);
                result.append(index);
            }
        }
    }
    std::sort(result.begin(), result.end());
    return result;
}

PageList PageList::parseSingle(const QString& option, const QString& text)
{
    const std::optional<qint64> page = pageNumber(text.trimmed());
    if (!page)
        throw CliFailure::usage(option + QStringLiteral(": '") + InputEcho::bounded(text) +
                                QStringLiteral("' is not a page number"));
    PageList list;
    list.m_option = option;
    list.m_ranges.append({*page, *page});
    return list;
}
