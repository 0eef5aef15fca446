#include "PdfDocument.h"

#include "internal/PdfDocumentImpl.h"

#include <qpdf/Constants.h>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFLogger.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <QFile>

#include <exception>
#include <mutex>

namespace {

// Poppler sends its diagnostics here instead of the console.
void discardPopplerMessage(const QString&, const QVariant&) {}

} // namespace

namespace PdfInternal {

void silenceLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Poppler::setDebugErrorFunction(&discardPopplerMessage, QVariant());
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

bool PdfDocument::Impl::ensurePoppler()
{
    if (textLayerState != TextLayerState::NotLoaded)
        return textLayerState == TextLayerState::Loaded;
    textLayerState = TextLayerState::Failed;
    if (locked || !qpdf)
        return false;
    PdfInternal::silenceLibraries();
    auto device = std::make_unique<QBuffer>(&bytes);
    if (!device->open(QIODevice::ReadOnly))
        return false;
    std::unique_ptr<Poppler::Document> doc = Poppler::Document::load(device.get());
    if (!doc || doc->isLocked())
        return false;
    // Page i must be the same page for both libraries; a damaged page tree
    // that they read differently makes every page's text untrustworthy.
    if (doc->numPages() != int(pages.size()))
        return false;
    doc->setRenderHint(Poppler::Document::Antialiasing, true);
    doc->setRenderHint(Poppler::Document::TextAntialiasing, true);
    doc->setPaperColor(Qt::white);
    popplerDevice = std::move(device);
    poppler = std::move(doc);
    textLayerState = TextLayerState::Loaded;
    return true;
}

std::unique_ptr<Poppler::Page> PdfDocument::Impl::popplerPage(int index)
{
    if (index < 0 || index >= int(pages.size()) || !ensurePoppler())
        return nullptr;
    return poppler->page(index);
}

PdfDocument::PdfDocument(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

PdfDocument::~PdfDocument()
{
    // poppler reads through the device and qpdf reads the buffer in place:
    // release them before the bytes they read.
    if (d) {
        d->poppler.reset();
        d->popplerDevice.reset();
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
