#include "JsonFile.h"

#include "CliFailure.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>

QString JsonFile::problem(const QString& path, const QString& what)
{
    return path + QStringLiteral(": ") + what;
}

QJsonObject JsonFile::loadObject(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CliFailure::refused(problem(path, QStringLiteral("cannot be read: ") + file.errorString()));
    const QByteArray bytes = file.read(sizeLimit + 1);
    if (file.error() != QFileDevice::NoError)
        throw CliFailure::refused(problem(path, QStringLiteral("cannot be read: ") + file.errorString()));
    if (bytes.size() > sizeLimit)
        throw CliFailure::refused(problem(path, QStringLiteral("is larger than 16 MB")));

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        throw CliFailure::refused(problem(path, QStringLiteral("is not valid JSON (") + error.errorString() +
                                                    QStringLiteral(" at byte ") +
                                                    QString::number(error.offset) + QStringLiteral(")")));
    if (!document.isObject())
        throw CliFailure::refused(problem(path, QStringLiteral("must hold a JSON object")));
    return document.object();
}
