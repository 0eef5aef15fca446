// fixturegen: writes fixture drawing sets to disk.
//   fixturegen sample [OUT]   the sample set (default samples/drawing-set.pdf)
//   fixturegen heavy N OUT    N heavy A1 sheets
//   fixturegen logo N OUT     N sheets that draw one large logo image 120 times

#include "Fixtures.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

int usage()
{
    std::fprintf(
        stderr,
        "usage: fixturegen sample [OUT]\n       fixturegen heavy N OUT\n       fixturegen logo N OUT\n");
    return 2;
}

int save(const QByteArray& bytes, const QString& path)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        std::fprintf(stderr, "fixturegen: cannot create folder %s\n", qPrintable(info.absolutePath()));
        return 1;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() ||
        !file.flush()) {
        std::fprintf(stderr, "fixturegen: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return 1;
    }
    std::printf("fixturegen: wrote %s (%lld bytes)\n", qPrintable(info.absoluteFilePath()),
                static_cast<long long>(bytes.size()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const QByteArray command = argv[1];
    try {
        if (command == "sample" && argc <= 3)
            return save(Fixtures::sample().bytes, argc == 3 ? QString::fromLocal8Bit(argv[2])
                                                            : QStringLiteral("samples/drawing-set.pdf"));
        if (command == "heavy" && argc == 4) {
            bool ok = false;
            const int n = QByteArray(argv[2]).toInt(&ok);
            if (!ok || n < 0)
                return usage();
            return save(Fixtures::heavy(n).bytes, QString::fromLocal8Bit(argv[3]));
        }
        if (command == "logo" && argc == 4) {
            bool ok = false;
            const int n = QByteArray(argv[2]).toInt(&ok);
            if (!ok || n < 0)
                return usage();
            return save(Fixtures::repeatedLogo(n).bytes, QString::fromLocal8Bit(argv[3]));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fixturegen: %s\n", e.what());
        return 1;
    }
    return usage();
}
