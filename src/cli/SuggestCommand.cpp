#include "Commands.h"

#include "CliFailure.h"
#include "CommandLine.h"
#include "PdfDocument.h"
#include "Session.h"

#include <algorithm>
#include <cstdio>

// suggest FILE: the window's "Suggest regions" for every geometry group,
// printed as a regions file that read and split take, plus regions of their
// own for pages that read nothing with their group's (a title block
// elsewhere). A group, or a page, where nothing is found by itself (a
// single sheet without captions) takes the regions of another group whose
// title block stands alike, moved to where it stands. Entries are keyed by
// their layout as well as their number, so the file also fits later sets
// of the same layouts. Groups where nothing is found are left out and
// named on stderr; a set where nothing is found at all is refused.

int Commands::suggest(const QStringList& args, Session& session)
{
    const CommandLine line(QStringLiteral("suggest"), args, {}, {});
    if (line.helpRequested())
        return printHelp(QStringLiteral("suggest"));
    const QString file = line.file();

    const SourceFile::Opened opened = session.admit(file);
    const RegionsFile::SetLayouts layouts = RegionsFile::layoutsOf(*opened.document, opened.groups);

    const RegionSuggestion::SetSuggestion found = session.suggestSet(
        opened.bytes, RegionSuggestion::textPagesOf(opened.groups, opened.noTextPages), opened.textLayers);
    RegionsFile regions;
    for (auto it = found.groups.cbegin(); it != found.groups.cend(); ++it)
        regions.groups.insert(it.key(),
                              RegionsFile::Entry{PageRegions(it->number, it->title), layouts.groups[it.key()]});
    for (auto it = found.pages.cbegin(); it != found.pages.cend(); ++it)
        regions.pages.insert(it.key(),
                             RegionsFile::Entry{PageRegions(it->number, it->title), layouts.pages[it.key()]});
    const QList<int>& missed = found.missed;
    if (regions.groups.isEmpty())
        throw CliFailure::refused(QStringLiteral("no sheet number and title regions found in any group"));

    print(session, regions.toJson());
    for (const int g : std::as_const(missed))
        std::fprintf(stderr, "planfolio-cli: no regions found for group %d\n", g + 1);
    return 0;
}
