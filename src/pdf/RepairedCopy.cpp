#include "internal/PdfDocumentImpl.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>

std::optional<QByteArray> PdfInternal::repairedCopy(const QByteArray& bytes)
{
    silenceLibraries();
    try {
        QPDF qpdf;
        qpdf.setSuppressWarnings(true);
        // qpdf rebuilds a damaged cross-reference table and page tree as it
        // reads; writing the result gives a file poppler can take in order.
        qpdf.processMemoryFile("repair", bytes.constData(), size_t(bytes.size()));
        for (QPDFObjectHandle page : qpdf.getAllPages()) {
            // poppler refuses to build a page whose /Annots is not an array,
            // and with it every page after it in the tree; such an entry
            // holds no annotation anyone could use.
            if (page.hasKey("/Annots") && !page.getKey("/Annots").isArray())
                page.removeKey("/Annots");
        }
        QPDFWriter writer(qpdf);
        writer.setOutputMemory();
        // Streams are copied as they are (no decoding and recompressing),
        // and the copy, which never leaves memory, needs no encryption.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setPreserveEncryption(false);
        writer.write();
        const std::shared_ptr<Buffer> out = writer.getBufferSharedPointer();
        return QByteArray(reinterpret_cast<const char*>(out->getBuffer()), qsizetype(out->getSize()));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}
