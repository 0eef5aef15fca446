#include "Commands.h"

#include "CommandLine.h"
#include "PdfDocument.h"
#include "RowsFile.h"
#include "Session.h"

// export FILE --rows ROWS.json --into PARENT: the window's export of the
// given rows. The names are checked before the file is opened, as the
// window checks them before it asks for a folder.

int Commands::exportRows(const QStringList& args, Session& session)
{
    const CommandLine line(QStringLiteral("export"), args,
                           {QStringLiteral("--rows"), QStringLiteral("--into")}, {});
    if (line.helpRequested())
        return printHelp(QStringLiteral("export"));
    const QString file = line.file();
    const QString rowsPath = line.required(QStringLiteral("--rows"));
    const QString into = line.required(QStringLiteral("--into"));

    const QList<ReviewRow> rows = RowsFile::load(rowsPath);
    checkNames(rows);
    const std::filesystem::path parent = parentFolder(into);

    const SourceFile::Opened opened = session.admit(file);
    const std::filesystem::path folder = session.exportRows(opened.bytes, rows, parent);
    print(session, exportResult(folder, rows.size()));
    return 0;
}
