#include "OrderedJson.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace {

// Qt's own JSON text for one scalar: written as the only item of an array,
// then the brackets are dropped.
QByteArray scalarText(const QJsonValue& value)
{
    const QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

} // namespace

OrderedJson OrderedJson::number(double value)
{
    OrderedJson json(Scalar);
    json.m_scalar = scalarText(QJsonValue(value));
    return json;
}

OrderedJson OrderedJson::string(const QString& value)
{
    OrderedJson json(Scalar);
    json.m_scalar = scalarText(QJsonValue(value));
    return json;
}

OrderedJson OrderedJson::null()
{
    OrderedJson json(Scalar);
    json.m_scalar = QByteArrayLiteral("null");
    return json;
}

OrderedJson OrderedJson::boolean(bool value)
{
    OrderedJson json(Scalar);
    json.m_scalar = value ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
    return json;
}

OrderedJson OrderedJson::object()
{
    return OrderedJson(Object);
}

OrderedJson OrderedJson::array()
{
    return OrderedJson(Array);
}

OrderedJson OrderedJson::pageNumbers(const QList<int>& indices)
{
    OrderedJson json(Array);
    for (const int index : indices)
        json.append(number(index + 1));
    return json;
}

OrderedJson OrderedJson::rect(double x, double y, double width, double height)
{
    const auto rounded = [](double v) { return number(std::round(v * 1000.0) / 1000.0 + 0.0); };
    OrderedJson json(Array);
    json.append(rounded(x)).append(rounded(y)).append(rounded(width)).append(rounded(height));
    return json;
}

OrderedJson& OrderedJson::add(const QString& key, OrderedJson value)
{
    m_members.emplace_back(key, std::move(value));
    return *this;
}

OrderedJson& OrderedJson::append(OrderedJson value)
{
    m_items.push_back(std::move(value));
    return *this;
}

bool OrderedJson::fitsOnOneLine() const
{
    const auto scalarOrFlatArray = [](const OrderedJson& v) {
        if (v.m_kind == Scalar)
            return true;
        if (v.m_kind == Object)
            return v.m_members.empty();
        for (const OrderedJson& item : v.m_items) {
            if (item.m_kind != Scalar)
                return false;
        }
        return true;
    };
    switch (m_kind) {
    case Scalar:
        return true;
    case Array:
        return scalarOrFlatArray(*this);
    case Object:
        for (const auto& member : m_members) {
            if (!scalarOrFlatArray(member.second))
                return false;
        }
        return true;
    }
    return true;
}

void OrderedJson::write(QByteArray& out, int indent) const
{
    if (m_kind == Scalar) {
        out += m_scalar;
        return;
    }
    const bool isObject = m_kind == Object;
    const std::size_t count = isObject ? m_members.size() : m_items.size();
    const char open = isObject ? '{' : '[';
    const char close = isObject ? '}' : ']';
    const bool oneLine = fitsOnOneLine();
    out += open;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            out += oneLine ? ", " : ",";
        if (!oneLine) {
            out += '\n';
            out += QByteArray(indent + 2, ' ');
        }
        if (isObject) {
            out += scalarText(QJsonValue(m_members[i].first));
            out += ": ";
            m_members[i].second.write(out, indent + 2);
        } else {
            m_items[i].write(out, indent + 2);
        }
    }
    if (!oneLine && count > 0) {
        out += '\n';
        out += QByteArray(indent, ' ');
    }
    out += close;
}

QByteArray OrderedJson::toJson() const
{
    QByteArray out;
    write(out, 0);
    out += '\n';
    return out;
}
