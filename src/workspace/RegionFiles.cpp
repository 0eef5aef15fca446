#include "App.h"

// Regions files in the window: "Save regions…" writes the regions of the
// groups and of single pages, each with its page layout, to a file the
// user chooses; "Apply regions…" reads one and sets the regions of every
// group and page it matches, exactly as dragging them would, so that rows
// go back to "Needs reading" and the review confirmation unticks. Nothing
// is written anywhere else, and a file that cannot be used changes nothing.

#include "MainWindow.h"
#include "PdfDocument.h"
#include "RegionsFile.h"
#include "SegmentedControl.h"
#include "Toolkit.h"

#include <QFileInfo>
#include <QLabel>
#include <QSaveFile>

namespace {

// "group 1, group 3 and page 10" from one-based numbers.
QString listed(const QStringList& items)
{
    if (items.size() <= 1)
        return items.join(QString());
    return QStringList(items.mid(0, items.size() - 1)).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           items.last();
}

QStringList named(const char* word, const QList<int>& indices)
{
    QStringList items;
    for (const int i : indices)
        items.append(QLatin1String(word) + QLatin1Char(' ') + QString::number(i + 1));
    return items;
}

QString counted(qsizetype n, const char* word)
{
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(word) + (n == 1 ? "" : "s");
}

} // namespace

void App::assignRegions(int page, bool pageOnly, const PageRegions& regions)
{
    scope->setSelectedSegment(pageOnly ? 1 : 0);
    if (regions.number) {
        mode->setSelectedSegment(0);
        selectRegion(*regions.number, page);
    }
    if (regions.title) {
        mode->setSelectedSegment(1);
        selectRegion(*regions.title, page);
    }
}

void App::saveRegions()
{
    if (busy() || !document || (groupRegions.isEmpty() && overrides.isEmpty()))
        return;
    const std::optional<QString> path =
        toolkit().chooseSaveRegions(window.get(), QStringLiteral("regions.json"));
    if (!path || path->isEmpty())
        return;

    const RegionsFile::SetLayouts layouts = RegionsFile::layoutsOf(*document, groups);
    RegionsFile file;
    for (auto it = groupRegions.cbegin(); it != groupRegions.cend(); ++it) {
        if (it.key() >= 0 && it.key() < layouts.groups.size())
            file.groups.insert(it.key(), RegionsFile::Entry{it.value(), layouts.groups[it.key()]});
    }
    for (auto it = overrides.cbegin(); it != overrides.cend(); ++it) {
        if (it.key() >= 0 && it.key() < layouts.pages.size())
            file.pages.insert(it.key(), RegionsFile::Entry{it.value(), layouts.pages[it.key()]});
    }

    // Written to a temporary file and renamed into place, so an existing
    // file is either replaced whole or left as it was.
    QSaveFile out(*path);
    const QByteArray text = file.toJson();
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) {
        toolkit().alert(window.get(), QStringLiteral("The regions could not be saved."),
                        *path + QStringLiteral(": ") + out.errorString());
        return;
    }
    status->setText(QStringLiteral("Regions saved to ") + *path + QStringLiteral("."));
}

void App::applyRegions()
{
    if (busy() || !document)
        return;
    const std::optional<QString> path = toolkit().chooseOpenRegions(window.get());
    if (!path || path->isEmpty())
        return;
    RegionsFile file;
    try {
        file = RegionsFile::load(*path);
    } catch (const PlanfolioError& error) {
        toolkit().alert(window.get(), QStringLiteral("The regions file could not be used."), error.message());
        return;
    }
    const RegionsFile::Match match = file.match(RegionsFile::layoutsOf(*document, groups));
    const QString name = QFileInfo(*path).fileName();

    QList<int> setGroups, setPages;
    for (auto it = match.groups.cbegin(); it != match.groups.cend(); ++it) {
        if (it->number || it->title)
            setGroups.append(it.key());
    }
    for (auto it = match.pages.cbegin(); it != match.pages.cend(); ++it) {
        if ((it->number || it->title) && groupFor(it.key()))
            setPages.append(it.key());
    }
    if (setGroups.isEmpty() && setPages.isEmpty()) {
        status->setText(QStringLiteral("Nothing in ") + name +
                        QStringLiteral(" matches the groups or pages of this PDF; no regions changed."));
        return;
    }

    dismissSuggestion();
    const int shown = activePage;
    const int scopeBefore = scope->selectedSegment();
    const int modeBefore = mode->selectedSegment();
    for (const int g : std::as_const(setGroups))
        assignRegions(groups[g].pages.first(), false, match.groups[g]);
    for (const int p : std::as_const(setPages))
        assignRegions(p, true, match.pages[p]);
    scope->setSelectedSegment(scopeBefore);
    mode->setSelectedSegment(modeBefore);
    showPage(shown);

    QList<int> kept;
    for (int g = 0; g < groups.size(); ++g) {
        if (!match.groups.contains(g))
            kept.append(g);
    }
    QString text = QStringLiteral("Regions from ") + name + QStringLiteral(" set for ") +
                   listed(named("group", setGroups) + named("page", setPages)) + QLatin1Char('.');
    if (!kept.isEmpty()) {
        QStringList keptNames = named("group", kept);
        keptNames.first()[0] = QLatin1Char('G');
        text += QLatin1Char(' ') + listed(keptNames) +
                (kept.size() == 1 ? QStringLiteral(" matched nothing in the file and kept its regions.")
                                  : QStringLiteral(" matched nothing in the file and kept their regions."));
    }
    const qsizetype strayGroups = match.unmatchedGroups.size();
    const qsizetype strayPages = match.unmatchedPages.size();
    QStringList stray;
    if (strayGroups > 0)
        stray.append(counted(strayGroups, "group"));
    if (strayPages > 0)
        stray.append(counted(strayPages, "page"));
    if (!stray.isEmpty())
        text += QStringLiteral(" Not found in this PDF: ") + listed(stray) + QStringLiteral(" of the file.");
    text += QStringLiteral(" Read to update results.");
    status->setText(text);
}
