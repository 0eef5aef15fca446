#pragma once

// Private to src/pdf: the wire between the PDF service and its helper
// process. One request at a time travels over a stream socket; each message
// is a fixed header followed by `length` payload bytes. The helper reads
// the source bytes from a sealed memory file it was started with, and polls
// a shared control page to learn that the request it works on was
// abandoned.

#include <QByteArray>
#include <QTransform>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace HelperWire {

// Descriptors the helper finds open when it starts.
inline constexpr int sourceFd = 3;  // sealed memory file with the PDF bytes
inline constexpr int socketFd = 4;  // the request socket
inline constexpr int controlFd = 5; // one shared page holding a Control

enum class Request : std::uint32_t {
    Load = 1,      // parse the document; answers its page count
    Text = 2,      // a page's text layer, encoded by PageText::toBytes()
    Render = 3,    // a page or part of it as an image
    Reference = 4, // poppler's own selection of one rectangle
    Ink = 5,       // the drawn extent of every glyph of a page
};

enum class Status : std::uint32_t {
    Ok = 0,
    Failed = 1,  // the library could not give what was asked
    Aborted = 2, // the request was abandoned through the control page
};

struct Header
{
    std::uint32_t kind = 0; // Request, or Status in an answer
    std::uint32_t ticket = 0;
    std::uint64_t length = 0;
};

// Shared between the two processes. The client stores the ticket of a
// request it no longer wants; the helper's abort hooks compare it with the
// ticket they work for.
struct Control
{
    std::atomic<std::uint32_t> abandoned{0};
};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

// Largest payload either side accepts: a render of the largest view.
inline constexpr std::uint64_t maxPayload = 512ull * 1024 * 1024;

// Writes or reads exactly `size` bytes, retrying on EINTR. False when the
// other end is gone or the descriptor fails.
bool writeAll(int fd, const void* data, std::size_t size);
bool readAll(int fd, void* data, std::size_t size);

// A small payload builder and reader for fixed-size values.
class Writer
{
public:
    template<typename T> Writer& put(const T& value)
    {
        m_bytes.append(reinterpret_cast<const char*>(&value), sizeof(T));
        return *this;
    }
    Writer& putTransform(const QTransform& t);
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

class Reader
{
public:
    explicit Reader(const QByteArray& bytes) : m_bytes(bytes) {}
    template<typename T> bool get(T& value)
    {
        if (m_pos + qsizetype(sizeof(T)) > m_bytes.size())
            return false;
        std::memcpy(&value, m_bytes.constData() + m_pos, sizeof(T));
        m_pos += qsizetype(sizeof(T));
        return true;
    }
    bool getTransform(QTransform& t);
    QByteArray rest() const { return m_bytes.mid(m_pos); }

private:
    const QByteArray& m_bytes;
    qsizetype m_pos = 0;
};

} // namespace HelperWire
