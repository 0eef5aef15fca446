#include "PdfDocument.h"

#include <cstdint>
#include <cstring>

// Layout: a header (magic, character count, word count), then per character
// its UTF-16 unit, then per character a flag byte, then per character its
// box as four floats (x, y, width, height), then per word the number of
// characters it spans and its box as four floats. Line numbers and centres
// are not stored: a line ends at each character flagged as ending one, and
// a centre is the middle of its box, as the layer builds them.

namespace {

constexpr std::uint32_t kMagic = 0x31585450; // "PTX1"
constexpr std::uint8_t kSpaceAfter = 1;
constexpr std::uint8_t kLineEnd = 2;

void putBox(char*& out, const QRectF& r)
{
    const float v[4] = {float(r.x()), float(r.y()), float(r.width()), float(r.height())};
    std::memcpy(out, v, sizeof v);
    out += sizeof v;
}

QRectF getBox(const char*& in)
{
    float v[4];
    std::memcpy(v, in, sizeof v);
    in += sizeof v;
    return QRectF(v[0], v[1], v[2], v[3]);
}

} // namespace

QByteArray PageText::toBytes() const
{
    const std::uint32_t header[3] = {kMagic, std::uint32_t(m_chars.size()), std::uint32_t(m_words.size())};
    const qsizetype size = qsizetype(sizeof header) + m_chars.size() * (2 + 1 + 16) + m_words.size() * (4 + 16);
    QByteArray bytes(size, Qt::Uninitialized);
    char* out = bytes.data();
    std::memcpy(out, header, sizeof header);
    out += sizeof header;
    for (const Char& c : m_chars) {
        const char16_t unit = c.ch.unicode();
        std::memcpy(out, &unit, 2);
        out += 2;
    }
    for (const Char& c : m_chars)
        *out++ = char((c.spaceAfter ? kSpaceAfter : 0) | (c.lineEnd ? kLineEnd : 0));
    for (const Char& c : m_chars)
        putBox(out, c.box);
    for (const Word& w : m_words) {
        const std::uint32_t n = std::uint32_t(w.text.size());
        std::memcpy(out, &n, 4);
        out += 4;
        putBox(out, w.box);
    }
    return bytes;
}

std::optional<PageText> PageText::fromBytes(const QByteArray& bytes)
{
    std::uint32_t header[3];
    if (bytes.size() < qsizetype(sizeof header))
        return std::nullopt;
    std::memcpy(header, bytes.constData(), sizeof header);
    const qsizetype chars = header[1];
    const qsizetype words = header[2];
    if (header[0] != kMagic || bytes.size() != qsizetype(sizeof header) + chars * 19 + words * 20)
        return std::nullopt;

    const char* units = bytes.constData() + sizeof header;
    const char* flags = units + 2 * chars;
    const char* boxes = flags + chars;
    QList<Char> list;
    list.resize(chars);
    int line = 0;
    for (qsizetype i = 0; i < chars; ++i) {
        Char& c = list[i];
        char16_t unit;
        std::memcpy(&unit, units + 2 * i, 2);
        c.ch = QChar(unit);
        const auto f = std::uint8_t(flags[i]);
        c.spaceAfter = f & kSpaceAfter;
        c.lineEnd = f & kLineEnd;
        c.box = getBox(boxes);
        c.centre = c.box.center();
        c.line = line;
        if (c.lineEnd)
            ++line;
    }
    QList<Word> wordList;
    wordList.reserve(words);
    const char* in = boxes;
    qsizetype at = 0;
    for (qsizetype w = 0; w < words; ++w) {
        std::uint32_t n;
        std::memcpy(&n, in, 4);
        in += 4;
        if (at + qsizetype(n) > chars)
            return std::nullopt;
        Word word;
        word.text.reserve(n);
        for (qsizetype i = at; i < at + qsizetype(n); ++i)
            word.text += list[i].ch;
        at += n;
        word.box = getBox(in);
        wordList.append(std::move(word));
    }
    return PageText(std::move(list), std::move(wordList));
}
