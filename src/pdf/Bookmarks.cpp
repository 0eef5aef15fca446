#include "PdfDocument.h"

#include "internal/PdfDocumentImpl.h"

#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFOutlineObjectHelper.hh>

#include <exception>
#include <map>

namespace {

using PageIndex = std::map<QPDFObjGen, int>;

void collect(std::vector<QPDFOutlineObjectHelper> entries, const PageIndex& pages,
             QList<PdfDocument::Bookmark>& out, int depth)
{
    // qpdf cuts loops in the outline; the depth limit guards the stack
    // against a deep chain all the same.
    if (depth > 64)
        return;
    for (QPDFOutlineObjectHelper& entry : entries) {
        QPDFObjectHandle page = entry.getDestPage();
        if (page.isDictionary()) {
            const auto found = pages.find(page.getObjGen());
            if (found != pages.end())
                out.append({QString::fromStdString(entry.getTitle()).trimmed(), found->second});
        }
        collect(entry.getKids(), pages, out, depth + 1);
    }
}

} // namespace

QList<PdfDocument::Bookmark> PdfDocument::bookmarks() const
{
    QList<Bookmark> out;
    Impl& d = impl();
    if (d.locked || !d.qpdf)
        return out;
    try {
        PageIndex pages;
        for (size_t i = 0; i < d.pages.size(); ++i)
            pages.emplace(d.pages[i].getObjGen(), int(i));
        QPDFOutlineDocumentHelper outline(*d.qpdf);
        collect(outline.getTopLevelOutlines(), pages, out, 0);
    } catch (const std::exception&) {
        out.clear();
    }
    return out;
}
