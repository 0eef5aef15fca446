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

    RegionsFile regions;
    QList<int> missed;
    // Found groups: their pages with text and their suggestion, to carry
    // over to groups and pages where nothing is found by itself.
    QList<std::pair<QList<int>, RegionSuggestion::Suggestion>> models;
    QList<std::pair<int, QList<int>>> unfound;
    for (int g = 0; g < opened.groups.size(); ++g) {
        QList<int> pages = opened.groups[g].pages;
        pages.removeIf([&opened](int page) { return opened.noTextPages.contains(page); });
        std::optional<RegionSuggestion::Suggestion> found;
        if (!pages.isEmpty())
            found = session.suggest(opened.bytes, pages, opened.textLayers);
        if (!found) {
            unfound.append({g, pages});
            continue;
        }
        models.append({pages, *found});
        const PageRegions pair(found->number, found->title);
        regions.groups.insert(g, RegionsFile::Entry{pair, layouts.groups[g]});

        // A sheet whose title block sits elsewhere reads nothing with its
        // group's regions: it gets regions of its own when its captions
        // show where its number and title are.
        QMap<int, PageRegions> map;
        for (const int page : std::as_const(pages))
            map.insert(page, pair);
        for (const PageRead& read : session.read(opened.bytes, pages, map, opened.textLayers)) {
            if (!read.number.isEmpty() && !read.title.isEmpty())
                continue;
            std::optional<RegionSuggestion::Suggestion> own =
                session.suggest(opened.bytes, {read.index}, opened.textLayers);
            for (qsizetype m = 0; !own && m + 1 < models.size(); ++m)
                own = session.suggestLike(opened.bytes, {read.index}, models[m].first, models[m].second,
                                          opened.textLayers);
            if (own)
                regions.pages.insert(read.index, RegionsFile::Entry{PageRegions(own->number, own->title),
                                                                    layouts.pages[read.index]});
        }
    }
    for (const auto& [g, pages] : std::as_const(unfound)) {
        std::optional<RegionSuggestion::Suggestion> like;
        for (qsizetype m = 0; !like && !pages.isEmpty() && m < models.size(); ++m)
            like = session.suggestLike(opened.bytes, pages, models[m].first, models[m].second, opened.textLayers);
        if (!like) {
            missed.append(g);
            continue;
        }
        regions.groups.insert(g, RegionsFile::Entry{PageRegions(like->number, like->title), layouts.groups[g]});
    }
    std::sort(missed.begin(), missed.end());
    if (regions.groups.isEmpty())
        throw CliFailure::refused(QStringLiteral("no sheet number and title regions found in any group"));

    print(session, regions.toJson());
    for (const int g : std::as_const(missed))
        std::fprintf(stderr, "planfolio-cli: no regions found for group %d\n", g + 1);
    return 0;
}
