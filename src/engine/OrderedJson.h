#pragma once

// A JSON value whose object keys keep the order they were added in, so the
// system writes its documented key order ("page", "number", "title",
// "warning") rather than the alphabetical order of QJsonObject. Strings and
// numbers are written by QJsonDocument, so escaping and number formatting
// are Qt's own.
//
// Layout: a value made only of scalars (or an object of scalars and arrays
// of scalars) is written on one line; anything larger puts each member on
// its own line, indented by two spaces. One row or one word per line keeps
// the output readable and easy to grep.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <vector>

class OrderedJson
{
  public:
    static OrderedJson number(double value);
    static OrderedJson string(const QString& value);
    static OrderedJson boolean(bool value);
    static OrderedJson null();
    static OrderedJson object();
    static OrderedJson array();
    // An array of one-based page numbers from zero-based indices.
    static OrderedJson pageNumbers(const QList<int>& indices);
    // [x, y, width, height], each rounded to a thousandth of a point so
    // that arithmetic noise (1390.0639999999999) does not reach the output.
    static OrderedJson rect(double x, double y, double width, double height);

    // Adds a member to an object; returns the object for chaining.
    OrderedJson& add(const QString& key, OrderedJson value);
    // Appends an item to an array.
    OrderedJson& append(OrderedJson value);

    // The whole document, ending with a line feed.
    QByteArray toJson() const;

  private:
    enum Kind { Scalar, Object, Array };
    explicit OrderedJson(Kind kind) : m_kind(kind) {}

    bool fitsOnOneLine() const;
    void write(QByteArray& out, int indent) const;

    Kind m_kind;
    QByteArray m_scalar;
    std::vector<QPair<QString, OrderedJson>> m_members;
    std::vector<OrderedJson> m_items;
};
