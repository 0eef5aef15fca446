#include "PdfDocument.h"

#include "internal/PdfDocumentImpl.h"

#include <qpdf/QPDFObjectHandle.hh>

#include <QSet>

#include <exception>

// AutoCAD draws text set in its SHX stroke fonts as lines, so the page's
// text layer holds none of it; its plotter adds a comment per string that
// carries the string and its box instead. The service reads those comments
// as text, laid out as if the string had been set in its box.

namespace {

const std::string kShxTitle = "AutoCAD SHX Text";

QString stringValue(QPDFObjectHandle object)
{
    return object.isString() ? QString::fromStdString(object.getUTF8Value()) : QString();
}

// `s` without any white space, for comparing strings whatever their spacing.
QString squeezed(const QString& s)
{
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        if (!c.isSpace())
            out += c;
    }
    return out;
}

} // namespace

QList<PdfPage::TextComment> PdfPage::shxTextComments() const
{
    QList<TextComment> comments;
    try {
        for (QPDFObjectHandle annot : PdfInternal::annotations(m_doc->impl().pages[size_t(m_index)])) {
            QPDFObjectHandle subtype = annot.getKey("/Subtype");
            QPDFObjectHandle title = annot.getKey("/T");
            if (!subtype.isNameAndEquals("/Square") || !title.isString() || title.getUTF8Value() != kShxTitle)
                continue;
            const QString text = stringValue(annot.getKey("/Contents")).trimmed();
            const std::optional<QRectF> rect = PdfInternal::boxRect(annot.getKey("/Rect"));
            if (text.isEmpty() || !rect || !(rect->width() > 0) || !(rect->height() > 0))
                continue;
            comments.append({text, *rect});
        }
    } catch (const std::exception&) {
        comments.clear();
    }
    return comments;
}

PageText PageText::withComments(const QList<PdfPage::TextComment>& comments,
                                const QTransform& toDisplay) const
{
    QList<Char> chars = m_chars;
    QList<Word> words = m_words;
    int line = chars.isEmpty() ? 0 : chars.back().line + 1;
    if (!chars.isEmpty())
        chars.back().lineEnd = true;
    const QTransform toUser = toDisplay.inverted();
    bool added = false;
    // AutoCAD can write one string's comment twice (a block and its copy).
    QSet<QString> seen;
    for (const PdfPage::TextComment& comment : comments) {
        const QRectF user = comment.rect.normalized();
        const QString key = QStringLiteral("%1 %2 %3 %4 ")
                                .arg(qRound(user.x() * 10))
                                .arg(qRound(user.y() * 10))
                                .arg(qRound(user.width() * 10))
                                .arg(qRound(user.height() * 10)) +
                            comment.text;
        if (seen.contains(key))
            continue;
        seen.insert(key);
        // The same string already in the layer at this place: a producer
        // that wrote both the text and the comment.
        const double pad = 0.25 * std::min(user.width(), user.height());
        const QString wanted = squeezed(comment.text);
        if (wanted.isEmpty() || squeezed(text(user.adjusted(-pad, -pad, pad, pad))).contains(wanted))
            continue;

        const QList<uint> points = comment.text.toUcs4();
        const qsizetype slots = points.size();
        const QRectF shown = toDisplay.mapRect(user);
        // A string of one or two characters has a box about as tall as
        // wide or taller ("1"), and still reads across.
        const bool across = slots <= 2 || shown.width() >= shown.height();
        const auto cell = [&](qsizetype k) {
            if (across) {
                const double w = shown.width() / double(slots);
                return QRectF(shown.left() + double(k) * w, shown.top(), w, shown.height());
            }
            const double h = shown.height() / double(slots);
            return QRectF(shown.left(), shown.bottom() - double(k + 1) * h, shown.width(), h);
        };

        qsizetype wordStart = -1; // index in `chars` of the current word's first character
        QRectF wordBox;
        const auto endWord = [&](bool spaceFollows) {
            if (wordStart < 0)
                return;
            QString text;
            for (qsizetype i = wordStart; i < chars.size(); ++i)
                text += chars[i].ch;
            chars.back().spaceAfter = spaceFollows;
            words.append({text, wordBox});
            wordStart = -1;
        };
        for (qsizetype k = 0; k < slots; ++k) {
            const char32_t point = char32_t(points[k]);
            if (QChar::isSpace(point)) {
                endWord(true);
                continue;
            }
            const QRectF box = toUser.mapRect(cell(k));
            if (wordStart < 0) {
                wordStart = chars.size();
                wordBox = box;
            } else {
                wordBox |= box;
            }
            const QString units = QString::fromUcs4(&point, 1);
            for (const QChar unit : units) {
                Char c;
                c.ch = unit;
                c.box = box;
                c.centre = box.center();
                c.line = line;
                chars.append(c);
            }
        }
        endWord(false);
        chars.back().spaceAfter = false;
        chars.back().lineEnd = true;
        ++line;
        added = true;
    }
    if (!added)
        return *this;
    PageText merged(std::move(chars), std::move(words));
    merged.setAborted(m_aborted);
    merged.setFailed(m_failed);
    return merged;
}
