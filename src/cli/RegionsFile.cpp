#include "RegionsFile.h"

#include "CliFailure.h"
#include "JsonFile.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace {

// A one-based number written as a JSON key: decimal digits only.
std::optional<int> keyNumber(const QString& key)
{
    if (key.isEmpty() || key.size() > 9)
        return std::nullopt;
    for (const QChar c : key) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    return key.toInt();
}

// [x, y, width, height] of finite numbers. A negative width or height is
// taken as the same rectangle drawn the other way (standardised).
Region rectangle(const QString& path, const QString& where, const QJsonValue& value)
{
    const QJsonArray items = value.toArray();
    bool valid = value.isArray() && items.size() == 4;
    for (const QJsonValue& item : items)
        valid = valid && item.isDouble() && std::isfinite(item.toDouble());
    if (!valid)
        throw CliFailure::refused(
            JsonFile::problem(path, where + QStringLiteral(" must be [x, y, width, height] in points")));
    return QRectF(items.at(0).toDouble(), items.at(1).toDouble(), items.at(2).toDouble(),
                  items.at(3).toDouble())
        .normalized();
}

PageRegions regions(const QString& path, const QString& where, const QJsonValue& value)
{
    if (!value.isObject())
        throw CliFailure::refused(JsonFile::problem(
            path, where + QStringLiteral(" must be an object with \"number\" and \"title\" rectangles")));
    const QJsonObject object = value.toObject();
    PageRegions result;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        const QString memberWhere = where + QStringLiteral(".") + it.key();
        if (it.key() == QLatin1String("number"))
            result.number = rectangle(path, memberWhere, it.value());
        else if (it.key() == QLatin1String("title"))
            result.title = rectangle(path, memberWhere, it.value());
        else
            throw CliFailure::refused(JsonFile::problem(
                path, QStringLiteral("unknown key \"") + it.key() + QStringLiteral("\" in ") + where +
                          QStringLiteral("; use \"number\" and \"title\"")));
    }
    return result;
}

// "groups" or "pages": one-based number → regions.
QMap<int, PageRegions> section(const QString& path, const QJsonObject& root, const QString& name,
                               const QString& singular)
{
    QMap<int, PageRegions> result;
    if (!root.contains(name))
        return result;
    const QJsonValue value = root.value(name);
    if (!value.isObject())
        throw CliFailure::refused(JsonFile::problem(
            path, QStringLiteral("\"") + name + QStringLiteral("\" must be an object keyed by ") + singular +
                      QStringLiteral(" number")));
    const QJsonObject object = value.toObject();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        const std::optional<int> number = keyNumber(it.key());
        if (!number || *number < 1)
            throw CliFailure::refused(JsonFile::problem(
                path, QStringLiteral("\"") + it.key() + QStringLiteral("\" in \"") + name +
                          QStringLiteral("\" is not a ") + singular + QStringLiteral(" number")));
        result.insert(*number - 1, regions(path, name + QStringLiteral(".") + it.key(), it.value()));
    }
    return result;
}

} // namespace

RegionsFile RegionsFile::load(const QString& path)
{
    const QJsonObject root = JsonFile::loadObject(path);
    for (auto it = root.constBegin(); it != root.constEnd(); ++it) {
        if (it.key() != QLatin1String("groups") && it.key() != QLatin1String("pages"))
            throw CliFailure::refused(
                JsonFile::problem(path, QStringLiteral("unknown key \"") + it.key() +
                                            QStringLiteral("\"; use \"groups\" and \"pages\"")));
    }
    RegionsFile file;
    file.m_path = path;
    file.m_groups = section(path, root, QStringLiteral("groups"), QStringLiteral("group"));
    file.m_pages = section(path, root, QStringLiteral("pages"), QStringLiteral("page"));
    return file;
}

void RegionsFile::checkAgainst(int groupCount, int pageCount) const
{
    const auto plural = [](int n, const char* word) {
        return QString::number(n) + QLatin1Char(' ') + QLatin1String(word) + (n == 1 ? "" : "s");
    };
    if (!m_groups.isEmpty() && m_groups.lastKey() >= groupCount)
        throw CliFailure::refused(JsonFile::problem(
            m_path, QStringLiteral("group ") + QString::number(m_groups.lastKey() + 1) +
                        QStringLiteral(" does not exist; the PDF has ") + plural(groupCount, "group")));
    if (!m_pages.isEmpty() && m_pages.lastKey() >= pageCount)
        throw CliFailure::refused(JsonFile::problem(
            m_path, QStringLiteral("page ") + QString::number(m_pages.lastKey() + 1) +
                        QStringLiteral(" does not exist; the PDF has ") + plural(pageCount, "page")));
}

PageRegions RegionsFile::effective(int index, const QList<DrawingGroup>& groups) const
{
    const auto own = m_pages.constFind(index);
    if (own != m_pages.constEnd())
        return *own;
    for (qsizetype g = 0; g < groups.size(); ++g) {
        if (groups.at(g).pages.contains(index))
            return m_groups.value(int(g));
    }
    return PageRegions();
}
