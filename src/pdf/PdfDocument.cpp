#include "PdfDocument.h"

#include "internal/PdfDocumentImpl.h"

#include <qpdf/Constants.h>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFLogger.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <QFile>

#include <algorithm>
#include <cmath>

#include <exception>
#include <mutex>

namespace PdfInternal {

void silenceLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        try {
            // Every QPDF object of this service also suppresses its own
            // warnings; the shared logger catches anything reported outside
            // one (for example by a helper that has no QPDF at hand).
            const auto logger = QPDFLogger::defaultLogger();
            logger->setInfo(logger->discard());
            logger->setWarn(logger->discard());
            logger->setError(logger->discard());
        } catch (const std::exception&) {
        }
    });
}

QList<QPDFObjectHandle> annotations(QPDFObjectHandle page)
{
    QList<QPDFObjectHandle> found;
    QPDFObjectHandle annots = page.getKey("/Annots");
    if (!annots.isArray())
        return found;
    const int n = annots.getArrayNItems();
    for (int i = 0; i < n; ++i) {
        QPDFObjectHandle annot = annots.getArrayItem(i);
        if (annot.isDictionary())
            found.append(annot);
    }
    return found;
}

std::optional<QRectF> boxRect(QPDFObjectHandle box)
{
    try {
        if (!box.isArray() || box.getArrayNItems() != 4)
            return std::nullopt;
        double v[4];
        for (int i = 0; i < 4; ++i) {
            QPDFObjectHandle item = box.getArrayItem(i);
            if (!item.isNumber())
                return std::nullopt;
            v[i] = item.getNumericValue();
        }
        const double x1 = std::min(v[0], v[2]);
        const double x2 = std::max(v[0], v[2]);
        const double y1 = std::min(v[1], v[3]);
        const double y2 = std::max(v[1], v[3]);
        return QRectF(QPointF(x1, y1), QPointF(x2, y2));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace PdfInternal

bool PdfDocument::Impl::loadIn(HelperChannel& channel)
{
    const HelperChannel::Answer answer =
        channel.call(HelperWire::Request::Load, QByteArray(), pdfHelperSettings().textSeconds, {});
    std::int32_t count = -1;
    HelperWire::Reader in(answer.payload);
    // Page i must be the same page for both libraries; a damaged page tree
    // that they read differently makes every page's text untrustworthy.
    return answer.outcome == HelperChannel::Outcome::Ok && in.get(count) && count == int(pages.size());
}

std::unique_ptr<HelperChannel> PdfDocument::Impl::channelOver(std::shared_ptr<SharedSource> source) const
{
    auto channel = std::make_unique<HelperChannel>(std::move(source));
    channel->setNice(helperNice);
    return channel;
}

bool PdfDocument::Impl::switchToRepair()
{
    if (usingRepair || !textSource)
        return false;
    usingRepair = true;
    const QByteArray original = bytes;
    std::shared_ptr<SharedSource> repaired =
        textSource->repaired([&original] { return PdfInternal::repairedCopy(original); });
    if (!repaired)
        return false;
    auto channel = channelOver(repaired);
    if (!loadIn(*channel))
        return false;
    textSource = std::move(repaired);
    helper = std::move(channel);
    return true;
}

bool PdfDocument::Impl::ensurePoppler()
{
    if (textLayerState != TextLayerState::NotLoaded)
        return textLayerState == TextLayerState::Loaded;
    textLayerState = TextLayerState::Failed;
    if (locked || !qpdf)
        return false;
    textSource = SharedSource::forBytes(bytes);
    if (!textSource)
        return false;
    helper = channelOver(textSource);
    if (!loadIn(*helper) && !switchToRepair())
        return false;
    textLayerState = TextLayerState::Loaded;
    return true;
}

HelperChannel::Answer PdfDocument::Impl::pageWork(HelperWire::Request kind, const QByteArray& payload,
                                                  double seconds, const AbortCheck& abort)
{
    if (!ensurePoppler())
        return HelperChannel::Answer{HelperChannel::Outcome::Failed, {}};
    HelperChannel::Answer answer = helper->call(kind, payload, seconds, abort);
    // A page poppler cannot build (for example after an entry of the wrong
    // type earlier in the page tree) may build from the repaired copy. A
    // page that crashed the helper or broke a limit is not tried again: it
    // would only cost the same again.
    if (answer.outcome == HelperChannel::Outcome::Failed && switchToRepair())
        answer = helper->call(kind, payload, seconds, abort);
    return answer;
}

HelperChannel* PdfDocument::Impl::displayChannel(double pixelsPerPoint)
{
    for (DisplayCopy& copy : displayCopies) {
        if (pixelsPerPoint > copy.pixelsPerPoint * (1 + 1e-9))
            continue;
        if (copy.state == DisplayState::NotTried) {
            copy.state = DisplayState::None;
            if (locked || !qpdf)
                return nullptr;
            if (!displayOrigin)
                displayOrigin = SharedSource::forBytes(bytes);
            if (!displayOrigin)
                return nullptr;
            const QByteArray original = bytes;
            const double limit = copy.pixelsPerPoint;
            std::shared_ptr<SharedSource> source = displayOrigin->displayCopy(
                limit, [&original, limit] { return PdfInternal::displayCopy(original, limit); });
            if (!source)
                return nullptr;
            auto channel = channelOver(source);
            if (!loadIn(*channel))
                return nullptr;
            copy.helper = std::move(channel);
            copy.state = DisplayState::Ready;
        }
        // The first copy fine enough serves, or none does.
        return copy.helper.get();
    }
    return nullptr;
}

void PdfDocument::runHelpersInBackground()
{
    d->helperNice = 10;
    if (d->helper)
        d->helper->setNice(d->helperNice);
    for (Impl::DisplayCopy& copy : d->displayCopies) {
        if (copy.helper)
            copy.helper->setNice(d->helperNice);
    }
}

void PdfDocument::useDisplayCopies(QList<double> pixelsPerPoint)
{
    std::sort(pixelsPerPoint.begin(), pixelsPerPoint.end());
    d->displayCopies.clear();
    for (double limit : std::as_const(pixelsPerPoint)) {
        if (limit > 0 && std::isfinite(limit))
            d->displayCopies.push_back(Impl::DisplayCopy{limit, Impl::DisplayState::NotTried, nullptr});
    }
}

PdfDocument::PdfDocument(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

PdfDocument::~PdfDocument()
{
    // qpdf reads the buffer in place: release it before the bytes it reads.
    if (d) {
        d->helper.reset();
        d->displayCopies.clear();
        d->pages.clear();
        d->qpdf.reset();
    }
}

std::unique_ptr<PdfDocument> PdfDocument::open(const QByteArray& bytes)
{
    PdfInternal::silenceLibraries();
    auto impl = std::make_unique<Impl>();
    impl->bytes = bytes;
    try {
        auto qpdf = std::make_unique<QPDF>();
        qpdf->setSuppressWarnings(true);
        try {
            // constData() of the shared copy: qpdf reads it in place.
            qpdf->processMemoryFile("document", impl->bytes.constData(), size_t(impl->bytes.size()));
        } catch (const QPDFExc& e) {
            if (e.getErrorCode() != qpdf_e_password)
                return nullptr;
            impl->locked = true;
            impl->encrypted = true;
            return std::unique_ptr<PdfDocument>(new PdfDocument(std::move(impl)));
        }
        impl->encrypted = qpdf->isEncrypted();
        impl->pages = qpdf->getAllPages();
        impl->qpdf = std::move(qpdf);
    } catch (const std::exception&) {
        return nullptr;
    }
    return std::unique_ptr<PdfDocument>(new PdfDocument(std::move(impl)));
}

std::unique_ptr<PdfDocument> PdfDocument::openFile(const QString& path, qint64 maxBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const qint64 size = file.size();
    if (size < 0 || size > maxBytes)
        return nullptr;
    QByteArray bytes = file.read(size);
    // A file that changed size while it was read is not the file we measured.
    if (bytes.size() != size || !file.atEnd())
        return nullptr;
    return open(bytes);
}

const QByteArray& PdfDocument::bytes() const
{
    return d->bytes;
}

bool PdfDocument::isLocked() const
{
    return d->locked;
}

bool PdfDocument::isEncrypted() const
{
    return d->encrypted;
}

bool PdfDocument::hasFormFields() const
{
    if (!d->qpdf)
        return false;
    try {
        QPDFObjectHandle form = d->qpdf->getRoot().getKey("/AcroForm");
        if (!form.isDictionary())
            return false;
        QPDFObjectHandle fields = form.getKey("/Fields");
        return fields.isArray() && fields.getArrayNItems() > 0;
    } catch (const std::exception&) {
        return false;
    }
}

int PdfDocument::pageCount() const
{
    return int(d->pages.size());
}

std::optional<PdfPage> PdfDocument::page(int index) const
{
    if (index < 0 || index >= pageCount())
        return std::nullopt;
    try {
        if (!d->pages[size_t(index)].isDictionary())
            return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return PdfPage(this, index);
}

bool PdfDocument::loadTextLayer() const
{
    try {
        return d->ensurePoppler();
    } catch (const std::exception&) {
        d->textLayerState = Impl::TextLayerState::Failed;
        return false;
    }
}
