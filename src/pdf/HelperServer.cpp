#include "PdfHelper.h"

#include "PdfDocument.h"
#include "internal/GlyphInk.h"
#include "internal/HelperWire.h"

#include <poppler-qt6.h>

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string_view>

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using HelperWire::Request;
using HelperWire::Status;

void discardPopplerMessage(const QString&, const QVariant&) {}

// The state of one helper: the mapped source bytes and the poppler
// document over them.
struct Server
{
    HelperWire::Control* control = nullptr;
    QByteArray bytes;
    std::unique_ptr<QBuffer> device;
    std::unique_ptr<Poppler::Document> document;
    std::unique_ptr<GlyphInk::Reader> ink; // opened on the first glyph request
    std::uint32_t ticket = 0; // the request being worked on
};

// Poppler's abort hooks: the request was abandoned by the service.
bool abandoned(const QVariant& closure)
{
    const auto* server = reinterpret_cast<const Server*>(closure.value<quintptr>());
    return server->control && server->control->abandoned.load(std::memory_order_relaxed) == server->ticket;
}

// The library's messages go to a private memory file in place of the
// terminal. poppler reports allocations it could not make there ("Out of
// memory") and then carries on without what it could not allocate: a page
// whose work hit the memory limit has given an incomplete answer.
bool hitMemoryLimit()
{
    struct stat st {};
    if (::fstat(STDERR_FILENO, &st) != 0 || st.st_size <= 0)
        return false;
    QByteArray messages(qsizetype(std::min<off_t>(st.st_size, 1 << 20)), Qt::Uninitialized);
    const ssize_t n = ::pread(STDERR_FILENO, messages.data(), size_t(messages.size()), 0);
    if (::ftruncate(STDERR_FILENO, 0) == 0)
        ::lseek(STDERR_FILENO, 0, SEEK_SET);
    return n > 0 && messages.left(n).contains("Out of memory");
}

bool answer(const Server& server, Status status, const QByteArray& payload = {})
{
    if (hitMemoryLimit() && status == Status::Ok)
        return answer(server, Status::Failed);
    HelperWire::Header header;
    header.kind = std::uint32_t(status);
    header.ticket = server.ticket;
    header.length = std::uint64_t(payload.size());
    return HelperWire::writeAll(HelperWire::socketFd, &header, sizeof header) &&
           HelperWire::writeAll(HelperWire::socketFd, payload.constData(), std::size_t(payload.size()));
}

// The page's text layer, every box mapped back to user space with the
// inverse of `toDisplay` (the service's user → displayed-page transform).
PageText textLayer(Poppler::Page& page, const QTransform& toDisplay, const Server& server)
{
    const QVariant closure = QVariant::fromValue(quintptr(&server));
    const std::vector<std::unique_ptr<Poppler::TextBox>> boxes =
        page.textList(Poppler::Page::Rotate0, &abandoned, closure);
    const QTransform toUser = toDisplay.inverted();
    QList<PageText::Char> chars;
    QList<PageText::Word> words;
    words.reserve(qsizetype(boxes.size()));
    int line = 0;
    for (const auto& box : boxes) {
        const QString text = box->text();
        const QRectF wordBox = box->boundingBox();
        words.append({text, toUser.mapRect(wordBox)});
        const bool lineEnd = box->nextWord() == nullptr;
        // Character boxes come one per code point, so a character outside
        // the basic plane gives two QChars sharing one box.
        int codePoint = 0;
        for (qsizetype i = 0; i < text.size(); ++codePoint) {
            const qsizetype width = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
            QRectF charBox = box->charBoundingBox(codePoint);
            if (charBox.isNull())
                charBox = wordBox;
            const QRectF userBox = toUser.mapRect(charBox);
            for (qsizetype k = 0; k < width; ++k) {
                PageText::Char c;
                c.ch = text.at(i + k);
                c.centre = userBox.center();
                c.box = userBox;
                c.line = line;
                const bool last = i + k + 1 == text.size();
                c.spaceAfter = last && box->hasSpaceAfter();
                c.lineEnd = last && lineEnd;
                chars.append(c);
            }
            i += width;
        }
        if (lineEnd)
            ++line;
    }
    return PageText(std::move(chars), std::move(words));
}

bool load(Server& server)
{
    if (server.document)
        return true;
    auto device = std::make_unique<QBuffer>(&server.bytes);
    if (!device->open(QIODevice::ReadOnly))
        return false;
    std::unique_ptr<Poppler::Document> doc = Poppler::Document::load(device.get());
    if (!doc || doc->isLocked())
        return false;
    doc->setRenderHint(Poppler::Document::Antialiasing, true);
    doc->setRenderHint(Poppler::Document::TextAntialiasing, true);
    doc->setPaperColor(Qt::white);
    server.device = std::move(device);
    server.document = std::move(doc);
    return true;
}

std::unique_ptr<Poppler::Page> pageAt(Server& server, int index)
{
    if (!load(server) || index < 0 || index >= server.document->numPages())
        return nullptr;
    return server.document->page(index);
}

// Carries out one request and answers it. False when the socket is gone.
bool handle(Server& server, Request kind, const QByteArray& payload, const PdfHelper::BeforeWork& before)
{
    HelperWire::Reader in(payload);
    std::int32_t index = -1;
    if (kind != Request::Load && !in.get(index))
        return answer(server, Status::Failed);
    if (before) {
        const PdfHelper::Work work = kind == Request::Load     ? PdfHelper::Work::Load
                                     : kind == Request::Text   ? PdfHelper::Work::Text
                                     : kind == Request::Render ? PdfHelper::Work::Render
                                     : kind == Request::Ink    ? PdfHelper::Work::Ink
                                                               : PdfHelper::Work::Reference;
        before(work, index);
    }
    const QVariant closure = QVariant::fromValue(quintptr(&server));

    switch (kind) {
    case Request::Load: {
        if (!load(server))
            return answer(server, Status::Failed);
        return answer(server, Status::Ok, HelperWire::Writer().put(std::int32_t(server.document->numPages())).bytes());
    }
    case Request::Text: {
        QTransform toDisplay;
        if (!in.getTransform(toDisplay))
            return answer(server, Status::Failed);
        std::unique_ptr<Poppler::Page> page = pageAt(server, index);
        if (!page)
            return answer(server, Status::Failed);
        const PageText layer = textLayer(*page, toDisplay, server);
        // Poppler hands back whatever it had when it stopped; a partial
        // layer would read as missing text, so it is never sent.
        if (abandoned(closure))
            return answer(server, Status::Aborted);
        return answer(server, Status::Ok, layer.toBytes());
    }
    case Request::Render: {
        double dpi = 0;
        std::int32_t rect[4];
        if (!in.get(dpi) || !in.get(rect))
            return answer(server, Status::Failed);
        std::unique_ptr<Poppler::Page> page = pageAt(server, index);
        if (!page)
            return answer(server, Status::Failed);
        QImage image = page->renderToImage(dpi, dpi, rect[0], rect[1], rect[2], rect[3], Poppler::Page::Rotate0,
                                           nullptr, nullptr, &abandoned, closure);
        // An abandoned render is a partly painted page: never sent.
        if (abandoned(closure))
            return answer(server, Status::Aborted);
        if (image.isNull())
            return answer(server, Status::Failed);
        if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_RGB32 &&
            image.format() != QImage::Format_ARGB32_Premultiplied)
            image = image.convertToFormat(QImage::Format_ARGB32);
        HelperWire::Writer out;
        out.put(std::int32_t(image.width()))
            .put(std::int32_t(image.height()))
            .put(std::int32_t(image.format()))
            .put(std::int32_t(image.bytesPerLine()));
        QByteArray bytes = out.bytes();
        bytes.append(reinterpret_cast<const char*>(image.constBits()), qsizetype(image.sizeInBytes()));
        return answer(server, Status::Ok, bytes);
    }
    case Request::Ink: {
        if (!load(server) || index < 0 || index >= server.document->numPages())
            return answer(server, Status::Failed);
        if (!server.ink)
            server.ink = std::make_unique<GlyphInk::Reader>(server.bytes);
        const std::optional<QList<GlyphInk::Glyph>> glyphs =
            server.ink->glyphs(index, [closure] { return abandoned(closure); });
        if (abandoned(closure))
            return answer(server, Status::Aborted);
        if (!glyphs)
            return answer(server, Status::Failed);
        return answer(server, Status::Ok, GlyphInk::encode(*glyphs));
    }
    case Request::Reference: {
        double r[4];
        if (!in.get(r))
            return answer(server, Status::Failed);
        std::unique_ptr<Poppler::Page> page = pageAt(server, index);
        if (!page)
            return answer(server, Status::Failed);
        const QString text = page->text(QRectF(r[0], r[1], r[2], r[3]));
        return answer(server, Status::Ok,
                      QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
    }
    }
    return answer(server, Status::Failed);
}

std::uint64_t memoryLimit(int argc, char** argv)
{
    constexpr std::string_view flag = "--memory-limit=";
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.substr(0, flag.size()) == flag)
            return std::strtoull(argv[i] + flag.size(), nullptr, 10);
    }
    return 0;
}

} // namespace

int PdfHelper::serve(int argc, char** argv, const BeforeWork& before)
{
    // Nothing but the three descriptors the service handed over stays open.
    ::close_range(HelperWire::controlFd + 1, ~0U, 0);
    if (const std::uint64_t limit = memoryLimit(argc, argv)) {
        const rlimit rl{rlim_t(limit), rlim_t(limit)};
        ::setrlimit(RLIMIT_AS, &rl);
    }
    // A crash must not leave a core file of someone's drawings behind.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    // The text of one page allocates and frees many small objects; by
    // default the allocator hands the freed top of the heap back to the
    // system after every page and faults it in again for the next. Keeping
    // up to 64 MB of it costs nothing the address-space limit notices.
    ::mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    ::mallopt(M_TOP_PAD, 16 * 1024 * 1024);
    Poppler::setDebugErrorFunction(&discardPopplerMessage, QVariant());
    // Nothing the library prints reaches the user's terminal; what it says
    // about memory is read back after each request.
    const int messages = ::memfd_create("planfolio-helper-messages", MFD_CLOEXEC);
    if (messages >= 0) {
        ::dup2(messages, STDERR_FILENO);
        ::close(messages);
    }
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }

    Server server;
    struct stat st {};
    if (::fstat(HelperWire::sourceFd, &st) != 0)
        return 2;
    if (st.st_size > 0) {
        // Mapped in whole at once: the library reads the file all over, and
        // a fault per page of it costs more than one populating pass.
        void* map =
            ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_SHARED | MAP_POPULATE, HelperWire::sourceFd, 0);
        if (map == MAP_FAILED)
            return 2;
        server.bytes = QByteArray::fromRawData(static_cast<const char*>(map), qsizetype(st.st_size));
    }
    void* control =
        ::mmap(nullptr, sizeof(HelperWire::Control), PROT_READ | PROT_WRITE, MAP_SHARED, HelperWire::controlFd, 0);
    if (control == MAP_FAILED)
        return 2;
    server.control = static_cast<HelperWire::Control*>(control);

    for (;;) {
        HelperWire::Header header;
        if (!HelperWire::readAll(HelperWire::socketFd, &header, sizeof header))
            return 0; // the service is gone or done with us
        if (header.length > HelperWire::maxPayload)
            return 2;
        QByteArray payload(qsizetype(header.length), Qt::Uninitialized);
        if (!HelperWire::readAll(HelperWire::socketFd, payload.data(), std::size_t(payload.size())))
            return 0;
        server.ticket = header.ticket;
        bool alive;
        try {
            alive = handle(server, Request(header.kind), payload, before);
        } catch (const std::exception&) {
            // Out of memory under the limit, or a library failure: this
            // request failed; the next one may well succeed.
            alive = answer(server, Status::Failed);
        }
        if (!alive)
            return 0;
    }
}
