#include "internal/GlyphInk.h"

#include "internal/HelperWire.h"

#include <GfxState.h>
#include <GlobalParams.h>
#include <PDFDoc.h>
#include <SplashOutputDev.h>
#include <Stream.h>
#include <splash/SplashFont.h>
#include <splash/SplashPath.h>

#include <QTransform>

#include <cmath>
#include <limits>

namespace {

void silent(ErrorCategory, Goffset, const char*) {}

// A rendering device that draws nothing: it lets the page's content run
// through poppler's interpreter and, for every glyph shown, asks the glyph's
// outline for its extent. Paths, images, shadings, soft masks and groups
// are skipped, so a page costs little more than taking its text.
class InkDevice final : public SplashOutputDev
{
public:
    InkDevice() : SplashOutputDev(splashModeMono8, 1, false, paper()) {}

    QList<GlyphInk::Glyph> glyphs;

    void startPage(int pageNum, GfxState* state, XRef* xref) override
    {
        SplashOutputDev::startPage(pageNum, state, xref);
        const double* m = state->getCTM();
        m_toUser = QTransform(m[0], m[1], m[2], m[3], m[4], m[5]).inverted();
        m_fontDirty = true;
    }
    void updateAll(GfxState* state) override
    {
        SplashOutputDev::updateAll(state);
        m_fontDirty = true;
    }
    void updateFont(GfxState* state) override
    {
        SplashOutputDev::updateFont(state);
        m_fontDirty = true;
    }

    void drawChar(GfxState* state, double x, double y, double dx, double dy, double originX, double originY,
                  CharCode code, int, const Unicode*, int) override
    {
        // Render modes 3 and 7 draw nothing (OCR layers, hidden overlays).
        if ((state->getRender() & 3) == 3)
            return;
        if (m_fontDirty) {
            doUpdateFont(state);
            m_fontDirty = false;
        }
        SplashFont* font = getCurrentFont();
        if (!font)
            return;
        double ax = 0, ay = 0;
        state->transform(x - originX + dx / 2, y - originY + dy / 2, &ax, &ay);
        SplashPath* path = font->getGlyphPath(int(code));
        if (!path)
            return;
        // The outline comes about the glyph's origin in the current user
        // space (the text matrix and size applied, the CTM not), y up.
        const double ux = x - originX, uy = y - originY;
        double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
        for (int i = 0; i < path->getLength(); ++i) {
            double px = 0, py = 0, dx1 = 0, dy1 = 0;
            unsigned char flag = 0;
            path->getPoint(i, &px, &py, &flag);
            state->transform(ux + px, uy + py, &dx1, &dy1);
            x0 = std::min(x0, dx1);
            y0 = std::min(y0, dy1);
            x1 = std::max(x1, dx1);
            y1 = std::max(y1, dy1);
        }
        delete path;
        if (!(x1 >= x0) || !std::isfinite(x0))
            return; // a blank glyph, such as a space
        const QRectF device(QPointF(x0, y0), QPointF(x1, y1));
        glyphs.append({m_toUser.mapRect(device), m_toUser.map(QPointF(ax, ay))});
    }

    // A Type 3 glyph is a little drawing of its own (CAD and EDA programs
    // draw their stroke fonts so): its ink is what its procedure paints.
    // Its anchor is the middle of its ink: where such a glyph stands in its
    // own space is up to its font, so the origin says little.
    bool beginType3Char(GfxState*, double, double, double, double, CharCode, const Unicode*, int) override
    {
        if (m_type3Depth++ == 0)
            m_type3Ink = QRectF();
        return false; // run the procedure
    }
    void endType3Char(GfxState*) override
    {
        if (m_type3Depth > 0 && --m_type3Depth == 0 && !m_type3Ink.isNull()) {
            const QRectF ink = m_toUser.mapRect(m_type3Ink);
            glyphs.append({ink, ink.center()});
        }
    }
    void type3D0(GfxState*, double, double) override {}
    void type3D1(GfxState*, double, double, double, double, double, double) override {}
    void stroke(GfxState* state) override { addPathInk(state, true); }
    void fill(GfxState* state) override { addPathInk(state, false); }
    void eoFill(GfxState* state) override { addPathInk(state, false); }
    bool axialShadedFill(GfxState*, GfxAxialShading*, double, double) override { return true; }
    bool radialShadedFill(GfxState*, GfxRadialShading*, double, double) override { return true; }
    bool functionShadedFill(GfxState*, GfxFunctionShading*) override { return true; }
    bool gouraudTriangleShadedFill(GfxState*, GfxGouraudTriangleShading*) override { return true; }
    void drawImageMask(GfxState*, Object*, Stream*, int, int, bool, bool, bool) override {}
    void drawImage(GfxState*, Object*, Stream*, int, int, GfxImageColorMap*, bool, const int*, bool) override {}
    void drawMaskedImage(GfxState*, Object*, Stream*, int, int, GfxImageColorMap*, bool, Stream*, int, int, bool,
                         bool) override
    {
    }
    void drawSoftMaskedImage(GfxState*, Object*, Stream*, int, int, GfxImageColorMap*, bool, Stream*, int, int,
                             GfxImageColorMap*, bool) override
    {
    }
    bool checkTransparencyGroup(GfxState*, bool) override { return false; }
    void setSoftMask(GfxState*, const double*, bool, Function*, GfxColor*) override {}
    void clearSoftMask(GfxState*) override {}

private:
    // Inside a Type 3 glyph, the device extent of the path being painted
    // (half the line width around a stroke) joins the glyph's ink.
    void addPathInk(GfxState* state, bool stroke)
    {
        if (m_type3Depth == 0)
            return;
        const GfxPath* path = state->getPath();
        double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
        for (int i = 0; i < path->getNumSubpaths(); ++i) {
            const GfxSubpath* sub = path->getSubpath(i);
            if (sub->getNumPoints() < 2)
                continue; // a bare move paints nothing
            for (int j = 0; j < sub->getNumPoints(); ++j) {
                double dx = 0, dy = 0;
                state->transform(sub->getX(j), sub->getY(j), &dx, &dy);
                x0 = std::min(x0, dx);
                y0 = std::min(y0, dy);
                x1 = std::max(x1, dx);
                y1 = std::max(y1, dy);
            }
        }
        if (!(x1 >= x0))
            return;
        const double half = stroke ? state->getTransformedLineWidth() / 2 : 0;
        const QRectF box(QPointF(x0 - half, y0 - half), QPointF(x1 + half, y1 + half));
        m_type3Ink = m_type3Ink.isNull() ? box : (m_type3Ink | box);
    }

    int m_type3Depth = 0;
    QRectF m_type3Ink;

    static SplashColorPtr paper()
    {
        static SplashColor white = {0xff, 0xff, 0xff, 0xff};
        return white;
    }
    QTransform m_toUser;
    bool m_fontDirty = true;
};

bool abortThrough(void* data)
{
    const auto* abort = static_cast<const std::function<bool()>*>(data);
    return *abort && (*abort)();
}

bool noAnnotations(Annot*, void*)
{
    return false;
}

} // namespace

struct GlyphInk::Reader::Impl
{
    GlobalParamsIniter params{&silent};
    std::unique_ptr<PDFDoc> doc;
    std::unique_ptr<InkDevice> device;
};

GlyphInk::Reader::Reader(const QByteArray& bytes) : d(std::make_unique<Impl>())
{
    setErrorCallback(&silent);
    auto* stream = new MemStream(bytes.constData(), 0, Goffset(bytes.size()), Object(objNull));
    d->doc = std::make_unique<PDFDoc>(stream);
    if (!d->doc->isOk()) {
        d->doc.reset();
        return;
    }
    d->device = std::make_unique<InkDevice>();
    d->device->startDoc(d->doc.get());
}

GlyphInk::Reader::~Reader() = default;

std::optional<QList<GlyphInk::Glyph>> GlyphInk::Reader::glyphs(int index, const std::function<bool()>& abort)
{
    if (!d->doc || index < 0 || index >= d->doc->getNumPages())
        return std::nullopt;
    d->device->glyphs.clear();
    std::function<bool()> check = abort;
    // One point a pixel and a one-pixel slice: nothing is painted, so the
    // page bitmap only has to exist.
    d->doc->displayPageSlice(d->device.get(), index + 1, 72, 72, 0, false, true, false, 0, 0, 1, 1, &abortThrough,
                             &check, &noAnnotations, nullptr);
    if (abort && abort())
        return std::nullopt;
    return std::move(d->device->glyphs);
}

QByteArray GlyphInk::encode(const QList<Glyph>& glyphs)
{
    HelperWire::Writer out;
    out.put(std::uint32_t(glyphs.size()));
    for (const Glyph& g : glyphs) {
        const float v[6] = {float(g.ink.x()),     float(g.ink.y()),     float(g.ink.width()),
                            float(g.ink.height()), float(g.anchor.x()), float(g.anchor.y())};
        out.put(v);
    }
    return out.bytes();
}

std::optional<QList<GlyphInk::Glyph>> GlyphInk::decode(const QByteArray& bytes)
{
    HelperWire::Reader in(bytes);
    std::uint32_t count = 0;
    if (!in.get(count) || qsizetype(count) * 24 + 4 != bytes.size())
        return std::nullopt;
    QList<Glyph> glyphs;
    glyphs.reserve(qsizetype(count));
    for (std::uint32_t i = 0; i < count; ++i) {
        float v[6];
        if (!in.get(v))
            return std::nullopt;
        glyphs.append({QRectF(v[0], v[1], v[2], v[3]), QPointF(v[4], v[5])});
    }
    return glyphs;
}
