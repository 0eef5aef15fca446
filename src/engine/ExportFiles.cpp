#include "ExportFiles.h"

#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::error_code lastError()
{
    return std::error_code(errno, std::generic_category());
}

// Writes all of `bytes` to `fd`, continuing after partial writes and
// interrupted calls.
std::error_code writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        data += written;
        left -= written;
    }
    return {};
}

} // namespace

std::error_code ExportFiles::writeNew(const std::filesystem::path& folder,
                                      const std::filesystem::path& target, const QByteArray& bytes,
                                      bool failWrite)
{
    const std::filesystem::path temporary =
        folder /
        toPath(QStringLiteral(".planfolio-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
               QStringLiteral(".part"));
    const int fd = ::open(temporary.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0)
        return lastError();

    std::error_code ec = failWrite ? std::make_error_code(std::errc::io_error) : writeAll(fd, bytes);
    if (!ec && ::fsync(fd) != 0)
        ec = lastError();
    if (::close(fd) != 0 && !ec)
        ec = lastError();
    if (!ec)
        ec = moveNoReplace(temporary, target);
    if (ec)
        ::unlink(temporary.c_str());
    return ec;
}

std::error_code ExportFiles::moveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS)
        return lastError();
    struct stat fromStat = {};
    if (::lstat(from.c_str(), &fromStat) != 0)
        return lastError();
    if (S_ISDIR(fromStat.st_mode)) {
        // link() cannot take a folder. The names moved here are fresh
        // UUIDs, so a name appearing between the check and the rename is
        // not a case to design for; rename() still refuses a folder that
        // has entries.
        struct stat toStat = {};
        if (::lstat(to.c_str(), &toStat) == 0)
            return std::make_error_code(std::errc::file_exists);
        if (::rename(from.c_str(), to.c_str()) != 0)
            return lastError();
        return {};
    }
    if (::link(from.c_str(), to.c_str()) != 0)
        return lastError();
    ::unlink(from.c_str());
    return {};
}

std::error_code ExportFiles::syncDirectory(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return lastError();
    std::error_code ec;
    if (::fsync(fd) != 0)
        ec = lastError();
    ::close(fd);
    return ec;
}

bool ExportFiles::isDirectChild(const std::filesystem::path& folder, const std::filesystem::path& target)
{
    const std::filesystem::path name = target.filename();
    const std::string& text = name.native();
    if (text.empty() || name == "." || name == ".." || text.find('\0') != std::string::npos)
        return false;
    return target.parent_path() == folder && folder / name == target;
}

std::filesystem::path ExportFiles::toPath(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return std::filesystem::path(std::string(utf8.constData(), static_cast<size_t>(utf8.size())));
}

QString ExportFiles::fromPath(const std::filesystem::path& path)
{
    return QString::fromStdString(path.native());
}
