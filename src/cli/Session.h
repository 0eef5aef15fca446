#pragma once

// The engine calls one command makes, each turned into the outcome the
// window would show: the same engine operation, the same checks, and on
// failure the window's prefix ("Open failed: ", "Read failed: ",
// "Export failed: ") before the engine's own message. Progress goes to the
// terminal under the window's task labels. The work runs on the calling
// (main) thread, with the engine's own helper threads where it uses them;
// progress may arrive on a helper thread, one report at a time. The one
// token is cancelled by the signal thread.

#include "ProgressLine.h"
#include "RegionSuggestion.h"
#include "SourceFile.h"
#include "Workflow.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <filesystem>
#include <optional>

class Session
{
  public:
    explicit Session(const WorkCancellation& token) : m_token(token) {}

    const WorkCancellation& token() const { return m_token; }

    // Reads, admits, groups and scans the file as the window's open does.
    // Throws CliFailure: "Open failed: " + message, or cancelled.
    SourceFile::Opened admit(const QString& path);

    // DrawingWorkflow::read over `pages` with `regions`, selecting from the
    // open's kept text layers where it has them. Throws CliFailure:
    // "Read failed: " + message, or cancelled.
    QList<PageRead> read(const QByteArray& bytes, const QList<int>& pages,
                         const QMap<int, PageRegions>& regions, const KeptTextLayers& kept = {});

    // RegionSuggestion::suggestSet over each group's pages with text.
    // Throws CliFailure: "Suggestion failed: " + message, or cancelled.
    RegionSuggestion::SetSuggestion suggestSet(const QByteArray& bytes, const QList<QList<int>>& groupPages,
                                               const KeptTextLayers& kept = {});

    // DocumentSafety::exportSheets with a document opened afresh from
    // `bytes`; returns the export folder's absolute path. Throws
    // CliFailure: "Export failed: " + message, or cancelled (the engine has
    // removed the folder by then).
    std::filesystem::path exportRows(const QByteArray& bytes, const QList<ReviewRow>& rows,
                                     const std::filesystem::path& parent);

    // Clears the progress line before a message or the result is printed.
    void endProgress() { m_progress.clear(); }

  private:
    Progress progressFor(const QString& label);

    const WorkCancellation& m_token;
    ProgressLine m_progress;
};
