#include "internal/PdfDocumentImpl.h"

// The display copy: the document with each large image reduced, once, to
// the resolution the display can use. poppler decodes and scales an image
// again at every place it is drawn; a sheet that draws a million-pixel logo
// a hundred times costs seconds to show, the same sheet from the copy a
// small part of that. An image drawn once costs one decode whether it is
// reduced or not, so only images that some page draws several times are
// reduced, and only those whose every use is known:
// those drawn by the pages' content (directly or through forms), whose
// largest drawn size is worked out from the content's transforms. An image
// also used by an annotation's appearance, a pattern, a soft mask or a
// Type 3 glyph keeps its pixels.

#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QTransform>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <map>
#include <memory>
#include <set>

namespace {

using QOH = QPDFObjectHandle;

// An image smaller than this many pixels is cheap to draw however often.
// (A 323×333 logo drawn 118 times on a Revit sheet took half a second to
// show at the fitted zoom.)
constexpr qint64 largeImagePixels = 256 * 256;
// Forms nested deeper than this are not followed (their images then keep
// their pixels).
constexpr int maxFormDepth = 8;
// Objects a search for images may visit before the copy is given up.
constexpr int maxVisited = 50000;
// An image drawn fewer times than this on every page is left alone.
constexpr int minDrawsOnAPage = 4;

bool isImage(QOH object)
{
    return object.isStream() && object.getDict().getKey("/Subtype").isNameAndEquals("/Image");
}

bool isForm(QOH object)
{
    return object.isStream() && object.getDict().getKey("/Subtype").isNameAndEquals("/Form");
}

qint64 pixelCount(QOH image)
{
    QOH dict = image.getDict();
    QOH w = dict.getKey("/Width"), h = dict.getKey("/Height");
    if (!w.isInteger() || !h.isInteger())
        return 0;
    return std::max<qint64>(0, w.getIntValue()) * std::max<qint64>(0, h.getIntValue());
}

QOH dictEntry(QOH dict, const char* key)
{
    return dict.isDictionary() ? dict.getKey(key) : QOH::newNull();
}

struct Survey
{
    // Largest drawn width and height of each image, in points.
    std::map<QPDFObjGen, QSizeF> drawn;
    // The most times one page (with its forms) draws each image.
    std::map<QPDFObjGen, int> mostDraws;
    // Draws of each image on the page being followed.
    std::map<QPDFObjGen, int> pageDraws;
    void endPage()
    {
        for (const auto& [objgen, count] : pageDraws)
            mostDraws[objgen] = std::max(mostDraws[objgen], count);
        pageDraws.clear();
    }
    // Images used where their drawn size is not worked out.
    std::set<QPDFObjGen> untouchable;
    std::set<QPDFObjGen> visited;
    bool gaveUp = false;

    // Marks every image found below `object` (not following links back up
    // to pages) as untouchable.
    void markAll(QOH object, int depth = 0)
    {
        if (gaveUp || depth > 32)
            return;
        if (object.isIndirect()) {
            if (!visited.insert(object.getObjGen()).second)
                return;
            if (int(visited.size()) > maxVisited) {
                gaveUp = true;
                return;
            }
        }
        if (isImage(object))
            untouchable.insert(object.getObjGen());
        QOH dict = object.isStream() ? object.getDict() : object;
        if (dict.isDictionary()) {
            for (const std::string& key : dict.getKeys()) {
                if (key == "/Parent" || key == "/P" || key == "/Annots" || key == "/Dest" || key == "/A" ||
                    key == "/Next" || key == "/Prev" || key == "/First" || key == "/Last")
                    continue;
                markAll(dict.getKey(key), depth + 1);
            }
        } else if (object.isArray()) {
            for (int i = 0; i < object.getArrayNItems(); ++i)
                markAll(object.getArrayItem(i), depth + 1);
        }
    }

    // Resource kinds other than XObjects can hold images whose drawn size
    // is not worked out here.
    void markOtherResources(QOH resources)
    {
        for (const char* kind : {"/Pattern", "/ExtGState", "/Font", "/Shading"}) {
            QOH entry = dictEntry(resources, kind);
            if (!entry.isNull())
                markAll(entry);
        }
    }

    void recordDraw(QOH image, const QTransform& ctm)
    {
        // The image fills the unit square: its sides are the images of the
        // unit vectors.
        const QSizeF size(std::hypot(ctm.m11(), ctm.m12()), std::hypot(ctm.m21(), ctm.m22()));
        for (QOH target : {image, image.getDict().getKey("/SMask")}) {
            if (!isImage(target))
                continue;
            QSizeF& largest = drawn[target.getObjGen()];
            largest = largest.expandedTo(size);
            ++pageDraws[target.getObjGen()];
        }
    }
};

// Follows one content stream (a page's or a form's): the transform at each
// "Do", and forms drawn by it.
class ContentWalk : public QOH::ParserCallbacks
{
  public:
    ContentWalk(Survey& survey, QOH resources, const QTransform& ctm, int depth)
        : m_survey(survey), m_resources(resources), m_ctm(ctm), m_depth(depth)
    {
        survey.markOtherResources(resources);
    }

    using QOH::ParserCallbacks::handleObject;
    void handleObject(QOH object) override
    {
        if (!object.isOperator()) {
            m_operands.push_back(object);
            if (m_operands.size() > 8)
                m_operands.erase(m_operands.begin());
            return;
        }
        const std::string op = object.getOperatorValue();
        if (op == "q") {
            if (m_stack.size() < 256)
                m_stack.push_back(m_ctm);
        } else if (op == "Q") {
            if (!m_stack.empty()) {
                m_ctm = m_stack.back();
                m_stack.pop_back();
            }
        } else if (op == "cm" && m_operands.size() >= 6) {
            double v[6];
            bool numbers = true;
            for (size_t i = 0; i < 6; ++i) {
                QOH item = m_operands[m_operands.size() - 6 + i];
                numbers = numbers && item.isNumber();
                v[i] = numbers ? item.getNumericValue() : 0;
            }
            if (numbers)
                m_ctm = QTransform(v[0], v[1], v[2], v[3], v[4], v[5]) * m_ctm;
        } else if (op == "Do" && !m_operands.empty() && m_operands.back().isName()) {
            draw(dictEntry(dictEntry(m_resources, "/XObject"), m_operands.back().getName().c_str()));
        }
        m_operands.clear();
    }
    void handleEOF() override {}

  private:
    void draw(QOH object)
    {
        if (isImage(object)) {
            m_survey.recordDraw(object, m_ctm);
        } else if (isForm(object)) {
            QOH dict = object.getDict();
            QOH resources = dict.getKey("/Resources");
            if (!resources.isDictionary())
                resources = m_resources;
            if (m_depth >= maxFormDepth) {
                m_survey.markAll(resources);
                return;
            }
            QTransform matrix;
            QOH m = dict.getKey("/Matrix");
            if (m.isArray() && m.getArrayNItems() == 6) {
                double v[6];
                for (int i = 0; i < 6; ++i) {
                    QOH item = m.getArrayItem(i);
                    v[i] = item.isNumber() ? item.getNumericValue() : (i == 0 || i == 3 ? 1 : 0);
                }
                matrix = QTransform(v[0], v[1], v[2], v[3], v[4], v[5]);
            }
            ContentWalk inner(m_survey, resources, matrix * m_ctm, m_depth + 1);
            QOH::parseContentStream(object, &inner);
        }
    }

    Survey& m_survey;
    QOH m_resources;
    QTransform m_ctm;
    int m_depth;
    std::vector<QTransform> m_stack;
    std::vector<QOH> m_operands;
};

// The large images a page's resources name directly (name → image), and
// whether a form among them reaches one (through any depth of forms).
struct PageImages
{
    std::map<std::string, QOH> direct;
    bool throughForm = false;
};

bool formReachesLargeImage(QOH form, int depth, std::set<QPDFObjGen>& seen)
{
    QOH xobjects = dictEntry(form.getDict().getKey("/Resources"), "/XObject");
    if (!xobjects.isDictionary() || depth > maxFormDepth)
        return false;
    for (const std::string& key : xobjects.getKeys()) {
        QOH object = xobjects.getKey(key);
        if (object.isIndirect() && !seen.insert(object.getObjGen()).second)
            continue;
        if (isImage(object) && pixelCount(object) >= largeImagePixels)
            return true;
        if (isForm(object) && formReachesLargeImage(object, depth + 1, seen))
            return true;
    }
    return false;
}

PageImages largeImages(QOH resources)
{
    PageImages found;
    QOH xobjects = dictEntry(resources, "/XObject");
    if (!xobjects.isDictionary())
        return found;
    std::set<QPDFObjGen> seen;
    for (const std::string& key : xobjects.getKeys()) {
        QOH object = xobjects.getKey(key);
        if (isImage(object) && pixelCount(object) >= largeImagePixels)
            found.direct[key] = object;
        else if (isForm(object) && !found.throughForm)
            found.throughForm = formReachesLargeImage(object, 1, seen);
    }
    return found;
}

// How often `content` draws the XObject `name` ("/Im1 Do"), from its text:
// far cheaper than parsing it, and enough to tell one draw from many.
int drawsOf(const std::string& content, const std::string& name)
{
    int count = 0;
    for (size_t at = content.find(name); at != std::string::npos; at = content.find(name, at + 1)) {
        size_t next = at + name.size();
        // The name must end here (not be the start of a longer one).
        if (next < content.size() && !std::isspace(static_cast<unsigned char>(content[next])) &&
            content[next] != '/')
            continue;
        while (next < content.size() && std::isspace(static_cast<unsigned char>(content[next])))
            ++next;
        if (content.compare(next, 2, "Do") == 0)
            ++count;
    }
    return count;
}

int componentCount(QOH colorSpace)
{
    if (colorSpace.isName()) {
        const std::string name = colorSpace.getName();
        if (name == "/DeviceGray" || name == "/G")
            return 1;
        if (name == "/DeviceRGB" || name == "/RGB")
            return 3;
        if (name == "/DeviceCMYK" || name == "/CMYK")
            return 4;
        return 0;
    }
    if (!colorSpace.isArray() || colorSpace.getArrayNItems() < 1 || !colorSpace.getArrayItem(0).isName())
        return 0;
    const std::string family = colorSpace.getArrayItem(0).getName();
    if (family == "/ICCBased" && colorSpace.getArrayNItems() >= 2) {
        QOH n = dictEntry(
            colorSpace.getArrayItem(1).isStream() ? colorSpace.getArrayItem(1).getDict() : QOH(), "/N");
        return n.isInteger() ? int(n.getIntValue()) : 0;
    }
    if (family == "/CalGray" || family == "/Separation")
        return 1;
    if (family == "/CalRGB" || family == "/Lab")
        return 3;
    // Indexed colours cannot be averaged; others are left alone.
    return 0;
}

// Replaces `image`'s samples by their box-filtered reduction to fit
// `drawn` at `pixelsPerPoint`; false when the image is left as it is.
bool reduce(QOH image, const QSizeF& drawn, double pixelsPerPoint)
{
    QOH dict = image.getDict();
    const qint64 w = dict.getKey("/Width").isInteger() ? dict.getKey("/Width").getIntValue() : 0;
    const qint64 h = dict.getKey("/Height").isInteger() ? dict.getKey("/Height").getIntValue() : 0;
    if (w <= 0 || h <= 0 || w * h < largeImagePixels)
        return false;
    if (dict.getKey("/ImageMask").isBool() && dict.getKey("/ImageMask").getBoolValue())
        return false;
    if (!dict.getKey("/BitsPerComponent").isInteger() || dict.getKey("/BitsPerComponent").getIntValue() != 8)
        return false;
    // A colour-key mask names exact sample values, which averaging changes.
    if (dict.getKey("/Mask").isArray())
        return false;
    const int n = dict.hasKey("/SMaskInData") ? 0 : componentCount(dict.getKey("/ColorSpace"));
    const bool softMask = !dict.hasKey("/ColorSpace") && n == 0;
    const int components = softMask ? 1 : n; // an /SMask image is gray without a /ColorSpace
    if (components <= 0 || components > 4)
        return false;
    const qint64 nw = std::clamp<qint64>(qint64(std::ceil(drawn.width() * pixelsPerPoint)), 8, w);
    const qint64 nh = std::clamp<qint64>(qint64(std::ceil(drawn.height() * pixelsPerPoint)), 8, h);
    // Not worth a rewrite unless it halves the pixels.
    if (nw * nh * 2 > w * h)
        return false;
    // An Adobe CMYK JPEG stores its samples inverted, which the raw copy
    // would lose.
    QOH filter = dict.getKey("/Filter");
    const bool jpeg = filter.isNameAndEquals("/DCTDecode") ||
                      (filter.isArray() && filter.getArrayNItems() > 0 &&
                       filter.getArrayItem(filter.getArrayNItems() - 1).isNameAndEquals("/DCTDecode"));
    if (jpeg && components == 4)
        return false;
    std::shared_ptr<Buffer> data;
    try {
        data = image.getStreamData(qpdf_dl_all);
    } catch (const std::exception&) {
        return false; // a filter qpdf cannot decode (JPEG 2000, JBIG2)
    }
    if (!data || qint64(data->getSize()) < w * h * components)
        return false;
    const unsigned char* in = data->getBuffer();
    std::string out(size_t(nw * nh * components), '\0');
    for (qint64 oy = 0; oy < nh; ++oy) {
        const qint64 y0 = oy * h / nh, y1 = std::max(y0 + 1, (oy + 1) * h / nh);
        for (qint64 ox = 0; ox < nw; ++ox) {
            const qint64 x0 = ox * w / nw, x1 = std::max(x0 + 1, (ox + 1) * w / nw);
            const qint64 count = (y1 - y0) * (x1 - x0);
            for (int c = 0; c < components; ++c) {
                qint64 sum = 0;
                for (qint64 y = y0; y < y1; ++y) {
                    const unsigned char* row = in + (y * w + x0) * components + c;
                    for (qint64 x = 0; x < x1 - x0; ++x)
                        sum += row[x * components];
                }
                out[size_t((oy * nw + ox) * components + c)] = char((sum + count / 2) / count);
            }
        }
    }
    image.replaceStreamData(out, QOH::newNull(), QOH::newNull());
    dict.replaceKey("/Width", QOH::newInteger(nw));
    dict.replaceKey("/Height", QOH::newInteger(nh));
    return true;
}

} // namespace

std::optional<QByteArray> PdfInternal::displayCopy(const QByteArray& bytes, double pixelsPerPoint)
{
    silenceLibraries();
    if (!(pixelsPerPoint > 0))
        return std::nullopt;
    try {
        QPDF qpdf;
        qpdf.setSuppressWarnings(true);
        qpdf.processMemoryFile("display", bytes.constData(), size_t(bytes.size()));
        const std::vector<QOH> pages = qpdf.getAllPages();
        // Images some page draws many times (or that forms reach, which
        // are not counted here).
        std::set<QPDFObjGen> repeated;
        bool formsReach = false;
        for (QOH page : pages) {
            QPDFPageObjectHelper helper(page);
            const PageImages images = largeImages(helper.getAttribute("/Resources", false));
            formsReach = formsReach || images.throughForm;
            if (images.direct.empty())
                continue;
            Pl_Buffer buffer("display-content");
            try {
                helper.pipeContents(&buffer);
            } catch (const std::exception&) {
                continue;
            }
            std::unique_ptr<Buffer> data(buffer.getBuffer());
            const std::string content(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
            for (const auto& [name, image] : images.direct) {
                if (drawsOf(content, name) >= minDrawsOnAPage)
                    repeated.insert(image.getObjGen());
            }
        }
        // Most documents draw no large image more than once: nothing to copy.
        if (repeated.empty() && !formsReach)
            return std::nullopt;

        // Every page that can draw one of them is followed, so that each
        // image's largest drawn size is known.
        Survey survey;
        for (QOH page : pages) {
            QPDFPageObjectHelper helper(page);
            QOH resources = helper.getAttribute("/Resources", false);
            QOH annots = page.getKey("/Annots");
            if (annots.isArray()) {
                for (int i = 0; i < annots.getArrayNItems(); ++i)
                    survey.markAll(dictEntry(annots.getArrayItem(i), "/AP"));
            }
            const PageImages images = largeImages(resources);
            bool draws = images.throughForm;
            for (const auto& entry : images.direct)
                draws = draws || repeated.count(entry.second.getObjGen()) > 0;
            if (!draws)
                continue;
            ContentWalk walk(survey, resources, QTransform(), 0);
            try {
                helper.parseContents(&walk);
            } catch (const std::exception&) {
                // Content that cannot be followed: its images keep their pixels.
                survey.markAll(resources);
            }
            survey.endPage();
        }
        if (survey.gaveUp)
            return std::nullopt;

        int reduced = 0;
        for (const auto& [objgen, drawn] : survey.drawn) {
            if (survey.untouchable.count(objgen) || survey.mostDraws[objgen] < minDrawsOnAPage)
                continue;
            QOH image = qpdf.getObject(objgen);
            if (isImage(image) && reduce(image, drawn, pixelsPerPoint))
                ++reduced;
        }
        if (reduced == 0)
            return std::nullopt;

        QPDFWriter writer(qpdf);
        writer.setOutputMemory();
        // Other streams are copied as they are; the copy never leaves
        // memory and needs no encryption.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setPreserveEncryption(false);
        writer.write();
        const std::shared_ptr<Buffer> out = writer.getBufferSharedPointer();
        return QByteArray(reinterpret_cast<const char*>(out->getBuffer()), qsizetype(out->getSize()));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}
