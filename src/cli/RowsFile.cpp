#include "RowsFile.h"

#include "CliFailure.h"
#include "JsonFile.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace {

// JSON has one number type; a page number is an int in a review row. A
// whole number in int range becomes an int, anything else is passed on as
// it came, for the export to refuse.
QVariant pageValue(const QJsonValue& value)
{
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && d >= std::numeric_limits<int>::min() &&
            d <= std::numeric_limits<int>::max())
            return int(d);
    }
    return value.toVariant();
}

} // namespace

QList<ReviewRow> RowsFile::load(const QString& path)
{
    QJsonObject root;
    try {
        root = JsonFile::loadObject(path);
    } catch (const PlanfolioError& error) {
        throw CliFailure::refused(error.message());
    }
    const QJsonValue rows = root.value(QStringLiteral("rows"));
    if (!rows.isArray())
        throw CliFailure::refused(JsonFile::problem(path, QStringLiteral("needs a \"rows\" array")));

    QList<ReviewRow> result;
    const QJsonArray items = rows.toArray();
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (!items.at(i).isObject())
            throw CliFailure::refused(JsonFile::problem(
                path, QStringLiteral("row ") + QString::number(i + 1) + QStringLiteral(" is not an object")));
        const QJsonObject item = items.at(i).toObject();
        ReviewRow row;
        if (item.contains(QStringLiteral("page")))
            row.insert(QStringLiteral("page"), pageValue(item.value(QStringLiteral("page"))));
        for (const QString& key : {QStringLiteral("number"), QStringLiteral("title")}) {
            if (item.contains(key))
                row.insert(key, item.value(key).toVariant());
        }
        const bool warning = item.value(QStringLiteral("warning")).toBool();
        row.insert(QStringLiteral("state"), warning ? ReviewState::checkEdges : ReviewState::readReview);
        result.append(row);
    }
    return result;
}
