#include "JsonFile.h"

#include "Workflow.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>

QString JsonFile::problem(const QString& path, const QString& what)
{
    return path + QStringLiteral(": ") + what;
}

QJsonObject JsonFile::loadObject(const QString& path)
{
    const auto refused = [&path](const QString& what) {
        return DrawingWorkflow::failure(problem(path, what));
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw refused(QStringLiteral("cannot be read: ") + file.errorString());
    const QByteArray bytes = file.read(sizeLimit + 1);
    if (file.error() != QFileDevice::NoError)
        throw refused(QStringLiteral("cannot be read: ") + file.errorString());
    if (bytes.size() > sizeLimit)
        throw refused(QStringLiteral("is larger than 16 MB"));

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw refused(QStringLiteral("is not valid JSON (") + error.errorString() +
                      QStringLiteral(" at byte ") + QString::number(error.offset) + QStringLiteral(")"));
    if (!document.isObject())
        throw refused(QStringLiteral("must hold a JSON object"));
    return document.object();
}
