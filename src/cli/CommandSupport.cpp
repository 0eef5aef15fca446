#include "Commands.h"

#include "CliFailure.h"
#include "DocumentSafety.h"
#include "InputEcho.h"
#include "PdfDocument.h"
#include "Session.h"
#include "SourceFile.h"
#include "Usage.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

void Commands::print(Session& session, const OrderedJson& json)
{
    print(session, json.toJson());
}

void Commands::print(Session& session, const QByteArray& text)
{
    session.endProgress();
    const bool written = std::fwrite(text.constData(), 1, size_t(text.size()), stdout) == size_t(text.size());
    if (!written || std::fflush(stdout) != 0)
        throw CliFailure::refused(QStringLiteral("the result could not be written to standard output"));
}

int Commands::printHelp(const QString& command)
{
    const QByteArray text = Usage::command(command).toUtf8();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

std::filesystem::path Commands::parentFolder(const QString& value)
{
    const QFileInfo info(value);
    if (!info.isDir())
        throw CliFailure::refused(QStringLiteral("--into: '") + InputEcho::bounded(value) +
                                  QStringLiteral("' is not an existing folder"));
    const std::filesystem::path path(QFile::encodeName(value).toStdString());
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute;
}

void Commands::checkNames(const QList<ReviewRow>& rows)
{
    if (const std::optional<QString> message = DocumentSafety::filenameProblem(rows))
        throw CliFailure::refused(*message);
}

OrderedJson Commands::exportResult(const std::filesystem::path& folder, qsizetype files)
{
    OrderedJson result = OrderedJson::object();
    result.add(QStringLiteral("folder"), OrderedJson::string(QFile::decodeName(folder.c_str())))
        .add(QStringLiteral("files"), OrderedJson::number(double(files)));
    return result;
}

RegionsFile Commands::loadRegions(const QString& path)
{
    try {
        return RegionsFile::load(path);
    } catch (const PlanfolioError& error) {
        throw CliFailure::refused(error.message());
    }
}

RegionsFile::Match Commands::matchRegions(const RegionsFile& file, const SourceFile::Opened& opened)
{
    try {
        file.checkAgainst(int(opened.groups.size()), opened.document->pageCount());
    } catch (const PlanfolioError& error) {
        throw CliFailure::refused(error.message());
    }
    return file.match(RegionsFile::layoutsOf(*opened.document, opened.groups));
}

QString Commands::pageText(const QList<int>& indices)
{
    QStringList numbers;
    for (const int index : indices)
        numbers.append(QString::number(index + 1));
    return numbers.join(QStringLiteral(", "));
}
