#include "internal/HelperWire.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace HelperWire {

bool writeAll(int fd, const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        // Never SIGPIPE: a helper that died is an answer, not a reason to
        // end this process.
        ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK)
            n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

bool readAll(int fd, void* data, std::size_t size)
{
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

Writer& Writer::putTransform(const QTransform& t)
{
    const double v[6] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
    for (double x : v)
        put(x);
    return *this;
}

bool Reader::getTransform(QTransform& t)
{
    double v[6];
    for (double& x : v) {
        if (!get(x))
            return false;
    }
    t = QTransform(v[0], v[1], v[2], v[3], v[4], v[5]);
    return true;
}

} // namespace HelperWire
