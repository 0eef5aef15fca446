#include "RegionsFile.h"

#include "InputEcho.h"
#include "JsonFile.h"
#include "OrderedJson.h"
#include "PdfDocument.h"

#include <QJsonArray>

#include <cmath>

namespace {

using DocumentSafety::PageLayout;

// Every complaint names the file and where in it the problem is.
class Reader
{
  public:
    explicit Reader(const QString& path) : m_path(path) {}

    [[noreturn]] void refuse(const QString& what) const
    {
        throw DrawingWorkflow::failure(JsonFile::problem(m_path, what));
    }

    // [x, y, width, height] of finite numbers. A negative width or height
    // is taken as the same rectangle drawn the other way (standardised).
    Region rectangle(const QString& where, const QJsonValue& value) const
    {
        const QJsonArray items = value.toArray();
        bool valid = value.isArray() && items.size() == 4;
        for (const QJsonValue& item : items)
            valid = valid && item.isDouble() && std::isfinite(item.toDouble());
        if (!valid)
            refuse(where + QStringLiteral(" must be [x, y, width, height] in points"));
        return QRectF(items.at(0).toDouble(), items.at(1).toDouble(), items.at(2).toDouble(),
                      items.at(3).toDouble())
            .normalized();
    }

    PageLayout layout(const QString& where, const QJsonValue& value) const
    {
        const QString shape =
            where + QStringLiteral(" must be an object with \"mediaBox\", \"cropBox\" and \"rotation\"");
        if (!value.isObject())
            refuse(shape);
        const QJsonObject object = value.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            if (it.key() != QLatin1String("mediaBox") && it.key() != QLatin1String("cropBox") &&
                it.key() != QLatin1String("rotation"))
                refuse(QStringLiteral("unknown key \"") + InputEcho::bounded(it.key()) +
                       QStringLiteral("\" in ") + where +
                       QStringLiteral("; use \"mediaBox\", \"cropBox\" and \"rotation\""));
        }
        if (!object.contains(QStringLiteral("mediaBox")) || !object.contains(QStringLiteral("cropBox")) ||
            !object.contains(QStringLiteral("rotation")))
            refuse(shape);
        const QJsonValue rotation = object.value(QStringLiteral("rotation"));
        const double degrees = rotation.toDouble();
        // Stored rotations are whole degrees; a bound keeps the int exact.
        if (!rotation.isDouble() || degrees != std::trunc(degrees) || std::abs(degrees) > 1e6)
            refuse(where + QStringLiteral(".rotation must be a whole number of degrees"));
        PageLayout result;
        result.mediaBox =
            rectangle(where + QStringLiteral(".mediaBox"), object.value(QStringLiteral("mediaBox")));
        result.cropBox =
            rectangle(where + QStringLiteral(".cropBox"), object.value(QStringLiteral("cropBox")));
        result.rotation = int(degrees);
        return result;
    }

    RegionsFile::Entry entry(const QString& where, const QJsonValue& value) const
    {
        if (!value.isObject())
            refuse(where + QStringLiteral(" must be an object with \"number\" and \"title\" rectangles"));
        const QJsonObject object = value.toObject();
        RegionsFile::Entry result;
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            const QString memberWhere = where + QStringLiteral(".") + it.key();
            if (it.key() == QLatin1String("number"))
                result.regions.number = rectangle(memberWhere, it.value());
            else if (it.key() == QLatin1String("title"))
                result.regions.title = rectangle(memberWhere, it.value());
            else if (it.key() == QLatin1String("layout"))
                result.layout = layout(memberWhere, it.value());
            else
                refuse(QStringLiteral("unknown key \"") + InputEcho::bounded(it.key()) +
                       QStringLiteral("\" in ") + where +
                       QStringLiteral("; use \"number\", \"title\" and \"layout\""));
        }
        return result;
    }

    // "groups" or "pages": one-based number → entry.
    QMap<int, RegionsFile::Entry> section(const QJsonObject& root, const QString& name,
                                          const QString& singular) const
    {
        QMap<int, RegionsFile::Entry> result;
        if (!root.contains(name))
            return result;
        const QJsonValue value = root.value(name);
        if (!value.isObject())
            refuse(QStringLiteral("\"") + name + QStringLiteral("\" must be an object keyed by ") + singular +
                   QStringLiteral(" number"));
        const QJsonObject object = value.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            const std::optional<int> number = keyNumber(it.key());
            if (!number || *number < 1)
                refuse(QStringLiteral("\"") + InputEcho::bounded(it.key()) + QStringLiteral("\" in \"") +
                       name + QStringLiteral("\" is not a ") + singular + QStringLiteral(" number"));
            result.insert(*number - 1, entry(name + QStringLiteral(".") + it.key(), it.value()));
        }
        return result;
    }

  private:
    // A one-based number written as a JSON key: decimal digits only.
    static std::optional<int> keyNumber(const QString& key)
    {
        if (key.isEmpty() || key.size() > 9)
            return std::nullopt;
        for (const QChar c : key) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
        }
        return key.toInt();
    }

    QString m_path;
};

OrderedJson rectJson(const QRectF& r)
{
    return OrderedJson::rect(r.x(), r.y(), r.width(), r.height());
}

OrderedJson entryJson(const RegionsFile::Entry& entry)
{
    OrderedJson json = OrderedJson::object();
    if (entry.regions.number)
        json.add(QStringLiteral("number"), rectJson(*entry.regions.number));
    if (entry.regions.title)
        json.add(QStringLiteral("title"), rectJson(*entry.regions.title));
    if (entry.layout) {
        OrderedJson layout = OrderedJson::object();
        layout.add(QStringLiteral("mediaBox"), rectJson(entry.layout->mediaBox))
            .add(QStringLiteral("cropBox"), rectJson(entry.layout->cropBox))
            .add(QStringLiteral("rotation"), OrderedJson::number(entry.layout->rotation));
        json.add(QStringLiteral("layout"), std::move(layout));
    }
    return json;
}

OrderedJson sectionJson(const QMap<int, RegionsFile::Entry>& entries)
{
    OrderedJson json = OrderedJson::object();
    for (auto it = entries.constBegin(); it != entries.constEnd(); ++it)
        json.add(QString::number(it.key() + 1), entryJson(it.value()));
    return json;
}

} // namespace

RegionsFile RegionsFile::load(const QString& path)
{
    return fromJson(JsonFile::loadObject(path), path);
}

RegionsFile RegionsFile::fromJson(const QJsonObject& root, const QString& path)
{
    const Reader reader(path);
    for (auto it = root.constBegin(); it != root.constEnd(); ++it) {
        if (it.key() != QLatin1String("groups") && it.key() != QLatin1String("pages"))
            reader.refuse(QStringLiteral("unknown key \"") + InputEcho::bounded(it.key()) +
                          QStringLiteral("\"; use \"groups\" and \"pages\""));
    }
    RegionsFile file;
    file.path = path;
    file.groups = reader.section(root, QStringLiteral("groups"), QStringLiteral("group"));
    file.pages = reader.section(root, QStringLiteral("pages"), QStringLiteral("page"));
    return file;
}

QByteArray RegionsFile::toJson() const
{
    OrderedJson root = OrderedJson::object();
    root.add(QStringLiteral("groups"), sectionJson(groups)).add(QStringLiteral("pages"), sectionJson(pages));
    return root.toJson();
}

void RegionsFile::checkAgainst(int groupCount, int pageCount) const
{
    const auto plural = [](int n, const char* word) {
        return QString::number(n) + QLatin1Char(' ') + QLatin1String(word) + (n == 1 ? "" : "s");
    };
    const auto lastWithoutLayout = [](const QMap<int, Entry>& entries) {
        int last = -1;
        for (auto it = entries.constBegin(); it != entries.constEnd(); ++it) {
            if (!it->layout)
                last = it.key();
        }
        return last;
    };
    const Reader reader(path);
    const int group = lastWithoutLayout(groups);
    if (group >= groupCount)
        reader.refuse(QStringLiteral("group ") + QString::number(group + 1) +
                      QStringLiteral(" does not exist; the PDF has ") + plural(groupCount, "group"));
    const int page = lastWithoutLayout(pages);
    if (page >= pageCount)
        reader.refuse(QStringLiteral("page ") + QString::number(page + 1) +
                      QStringLiteral(" does not exist; the PDF has ") + plural(pageCount, "page"));
}

RegionsFile::SetLayouts RegionsFile::layoutsOf(const PdfDocument& document, const QList<DrawingGroup>& groups)
{
    SetLayouts layouts;
    for (int i = 0; i < document.pageCount(); ++i) {
        const std::optional<PdfPage> page = document.page(i);
        layouts.pages.append(page ? DocumentSafety::layoutOf(*page) : DocumentSafety::PageLayout());
    }
    for (const DrawingGroup& group : groups)
        layouts.groups.append(layouts.pages.value(group.pages.value(0, -1)));
    return layouts;
}

RegionsFile::Match RegionsFile::match(const SetLayouts& layouts) const
{
    const QList<DocumentSafety::PageLayout>& groupLayouts = layouts.groups;
    const QList<DocumentSafety::PageLayout>& pageLayouts = layouts.pages;
    Match result;
    for (auto it = groups.constBegin(); it != groups.constEnd(); ++it) {
        int found = -1;
        if (it->layout) {
            for (int g = 0; g < groupLayouts.size() && found < 0; ++g) {
                if (!result.groups.contains(g) && DocumentSafety::layoutMatches(*it->layout, groupLayouts[g]))
                    found = g;
            }
        } else if (it.key() < groupLayouts.size() && !result.groups.contains(it.key())) {
            found = it.key();
        }
        if (found >= 0)
            result.groups.insert(found, it->regions);
        else
            result.unmatchedGroups.append(it.key());
    }
    for (auto it = pages.constBegin(); it != pages.constEnd(); ++it) {
        const int index = it.key();
        const bool fits = index < pageLayouts.size() &&
                          (!it->layout || DocumentSafety::layoutMatches(*it->layout, pageLayouts[index]));
        if (fits)
            result.pages.insert(index, it->regions);
        else
            result.unmatchedPages.append(index);
    }
    return result;
}

PageRegions RegionsFile::Match::effective(int index, const QList<DrawingGroup>& setGroups) const
{
    const auto own = pages.constFind(index);
    if (own != pages.constEnd())
        return *own;
    for (qsizetype g = 0; g < setGroups.size(); ++g) {
        if (setGroups.at(g).pages.contains(index))
            return groups.value(int(g));
    }
    return PageRegions();
}
