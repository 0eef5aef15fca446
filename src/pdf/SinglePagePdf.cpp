#include "PdfDocument.h"

#include "internal/PdfDocumentImpl.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>
#include <map>
#include <set>
#include <string>

// PdfDocument::singlePagePdf: qpdf's page copy with the clean-ups that make
// a single-sheet file self-contained.

namespace {

using GroupSet = std::set<QPDFObjGen>;

bool isName(QPDFObjectHandle obj, const char* name)
{
    return obj.isName() && obj.getName() == name;
}

// True when a link annotation leads to a page of the document other than
// `page`: an explicit destination on another page, any named destination
// (the copy has no name tree to resolve it), a GoTo action, or a
// page-turning named action. Only an explicit
// destination on the page itself survives the copy intact (qpdf maps the
// page reference to the new page); everything else would lead nowhere.
bool leadsToOtherPage(QPDFObjectHandle annot, QPDFObjectHandle page)
{
    if (!annot.isDictionary() || !isName(annot.getKey("/Subtype"), "/Link"))
        return false;
    QPDFObjectHandle dest = annot.getKey("/Dest");
    if (dest.isNull()) {
        QPDFObjectHandle action = annot.getKey("/A");
        if (!action.isDictionary())
            return false;
        QPDFObjectHandle kind = action.getKey("/S");
        if (isName(kind, "/Named")) {
            QPDFObjectHandle n = action.getKey("/N");
            return isName(n, "/NextPage") || isName(n, "/PrevPage") || isName(n, "/FirstPage") ||
                   isName(n, "/LastPage");
        }
        if (!isName(kind, "/GoTo"))
            return false;
        dest = action.getKey("/D");
    }
    if (dest.isName() || dest.isString())
        return true;
    if (!dest.isArray() || dest.getArrayNItems() < 1)
        return true;
    return !dest.getArrayItem(0).isSameObjectAs(page);
}

// Removes from the copy's /Annots the links that lead to other pages. The
// decision is made on the source annotations (where destinations still
// resolve); the copy's array is in the same order.
void dropLinksToOtherPages(QPDFObjectHandle sourcePage, QPDFObjectHandle copyPage)
{
    QPDFObjectHandle sourceAnnots = sourcePage.getKey("/Annots");
    QPDFObjectHandle copyAnnots = copyPage.getKey("/Annots");
    if (!copyAnnots.isArray())
        return;
    const int n = copyAnnots.getArrayNItems();
    const bool paired = sourceAnnots.isArray() && sourceAnnots.getArrayNItems() == n;
    QPDFObjectHandle kept = QPDFObjectHandle::newArray();
    for (int i = 0; i < n; ++i) {
        QPDFObjectHandle annot = copyAnnots.getArrayItem(i);
        const bool drop = paired ? leadsToOtherPage(sourceAnnots.getArrayItem(i), sourcePage)
                                 : leadsToOtherPage(annot, copyPage);
        if (!drop)
            kept.appendItem(annot);
    }
    if (kept.getArrayNItems() == 0)
        copyPage.removeKey("/Annots");
    else
        copyPage.replaceKey("/Annots", kept);
}

// Adds the optional content groups that an /OC entry or a /Properties value
// names: a group itself, or the groups of a membership dictionary.
void addGroups(QPDFObjectHandle obj, GroupSet& groups)
{
    if (!obj.isDictionary())
        return;
    QPDFObjectHandle type = obj.getKey("/Type");
    if (isName(type, "/OCG")) {
        if (obj.isIndirect())
            groups.insert(obj.getObjGen());
    } else if (isName(type, "/OCMD")) {
        QPDFObjectHandle members = obj.getKey("/OCGs");
        if (members.isArray()) {
            const int n = members.getArrayNItems();
            for (int i = 0; i < n; ++i)
                addGroups(members.getArrayItem(i), groups);
        } else {
            addGroups(members, groups);
        }
    }
}

// The groups used by a resource dictionary's marked content and XObjects,
// following form XObjects into their own resources.
void collectFromResources(QPDFObjectHandle resources, GroupSet& groups, std::set<QPDFObjGen>& visited)
{
    if (!resources.isDictionary())
        return;
    if (resources.isIndirect() && !visited.insert(resources.getObjGen()).second)
        return;
    QPDFObjectHandle properties = resources.getKey("/Properties");
    if (properties.isDictionary()) {
        for (auto [key, value] : properties.getDictAsMap())
            addGroups(value, groups);
    }
    QPDFObjectHandle xobjects = resources.getKey("/XObject");
    if (xobjects.isDictionary()) {
        for (auto [key, xobject] : xobjects.getDictAsMap()) {
            if (!xobject.isStream())
                continue;
            QPDFObjectHandle dict = xobject.getDict();
            addGroups(dict.getKey("/OC"), groups);
            if (isName(dict.getKey("/Subtype"), "/Form"))
                collectFromResources(dict.getKey("/Resources"), groups, visited);
        }
    }
}

GroupSet groupsUsedBy(QPDFObjectHandle page)
{
    GroupSet groups;
    std::set<QPDFObjGen> visited;
    collectFromResources(page.getKey("/Resources"), groups, visited);
    QPDFObjectHandle annots = page.getKey("/Annots");
    if (annots.isArray()) {
        const int n = annots.getArrayNItems();
        for (int i = 0; i < n; ++i) {
            QPDFObjectHandle annot = annots.getArrayItem(i);
            if (annot.isDictionary())
                addGroups(annot.getKey("/OC"), groups);
        }
    }
    return groups;
}

// Copies a possibly direct object from the source into `out`. qpdf copies
// only indirect objects; direct containers are rebuilt around copies of
// what they hold. Copies of one source object are shared, so a group copied
// with the page and again here is the same object in `out`.
QPDFObjectHandle copyInto(QPDF& out, QPDFObjectHandle obj)
{
    if (obj.isIndirect())
        return out.copyForeignObject(obj);
    if (obj.isArray()) {
        QPDFObjectHandle copy = QPDFObjectHandle::newArray();
        for (QPDFObjectHandle item : obj.getArrayAsVector())
            copy.appendItem(copyInto(out, item));
        return copy;
    }
    if (obj.isDictionary()) {
        QPDFObjectHandle copy = QPDFObjectHandle::newDictionary();
        for (auto [key, value] : obj.getDictAsMap())
            copy.replaceKey(key, copyInto(out, value));
        return copy;
    }
    return obj.shallowCopy();
}

bool isUsedGroup(QPDFObjectHandle obj, const GroupSet& groups)
{
    return obj.isIndirect() && groups.count(obj.getObjGen()) > 0;
}

QPDFObjectHandle keepGroups(QPDFObjectHandle list, const GroupSet& groups)
{
    QPDFObjectHandle kept = QPDFObjectHandle::newArray();
    if (list.isArray()) {
        for (QPDFObjectHandle item : list.getArrayAsVector()) {
            if (isUsedGroup(item, groups))
                kept.appendItem(item);
        }
    }
    return kept;
}

// /Order: groups and nested arrays, a nested array optionally starting with
// a label. Labels stay only while their array still lists a group.
QPDFObjectHandle keepOrder(QPDFObjectHandle order, const GroupSet& groups, int depth)
{
    QPDFObjectHandle kept = QPDFObjectHandle::newArray();
    if (!order.isArray() || depth > 32)
        return kept;
    bool hasGroup = false;
    std::vector<QPDFObjectHandle> items = order.getArrayAsVector();
    for (size_t i = 0; i < items.size(); ++i) {
        QPDFObjectHandle item = items[i];
        if (isUsedGroup(item, groups)) {
            kept.appendItem(item);
            hasGroup = true;
        } else if (item.isArray()) {
            QPDFObjectHandle nested = keepOrder(item, groups, depth + 1);
            if (nested.getArrayNItems() > 0) {
                kept.appendItem(nested);
                hasGroup = true;
            }
        } else if (item.isString() && i == 0) {
            kept.appendItem(item);
        }
    }
    return hasGroup ? kept : QPDFObjectHandle::newArray();
}

void keepGroupsOfConfig(QPDFObjectHandle config, const GroupSet& groups)
{
    if (!config.isDictionary())
        return;
    for (const char* key : {"/ON", "/OFF", "/Locked"}) {
        if (config.hasKey(key))
            config.replaceKey(key, keepGroups(config.getKey(key), groups));
    }
    if (config.hasKey("/Order"))
        config.replaceKey("/Order", keepOrder(config.getKey("/Order"), groups, 0));
    if (config.hasKey("/RBGroups")) {
        QPDFObjectHandle kept = QPDFObjectHandle::newArray();
        QPDFObjectHandle rb = config.getKey("/RBGroups");
        if (rb.isArray()) {
            for (QPDFObjectHandle group : rb.getArrayAsVector()) {
                QPDFObjectHandle members = keepGroups(group, groups);
                if (members.getArrayNItems() > 0)
                    kept.appendItem(members);
            }
        }
        config.replaceKey("/RBGroups", kept);
    }
    if (config.hasKey("/AS")) {
        QPDFObjectHandle kept = QPDFObjectHandle::newArray();
        QPDFObjectHandle usages = config.getKey("/AS");
        if (usages.isArray()) {
            for (QPDFObjectHandle usage : usages.getArrayAsVector()) {
                if (!usage.isDictionary())
                    continue;
                QPDFObjectHandle members = keepGroups(usage.getKey("/OCGs"), groups);
                if (members.getArrayNItems() == 0)
                    continue;
                usage.replaceKey("/OCGs", members);
                kept.appendItem(usage);
            }
        }
        config.replaceKey("/AS", kept);
    }
}

// Gives `out` the source's optional content configuration, cut down to the
// groups the copied page uses, so that a layer hidden in the drawing set
// stays hidden in the sheet (a viewer shows every group of a file without
// /OCProperties).
void carryOptionalContent(QPDF& source, QPDF& out, QPDFObjectHandle copyPage)
{
    QPDFObjectHandle properties = source.getRoot().getKey("/OCProperties");
    if (!properties.isDictionary())
        return;
    const GroupSet groups = groupsUsedBy(copyPage);
    if (groups.empty())
        return;
    QPDFObjectHandle copy = copyInto(out, properties);
    copy.replaceKey("/OCGs", keepGroups(copy.getKey("/OCGs"), groups));
    keepGroupsOfConfig(copy.getKey("/D"), groups);
    QPDFObjectHandle configs = copy.getKey("/Configs");
    if (configs.isArray()) {
        for (QPDFObjectHandle config : configs.getArrayAsVector())
            keepGroupsOfConfig(config, groups);
    }
    out.getRoot().replaceKey("/OCProperties", copy);
}

// For every page: whether its resources come from the page tree or are
// shared with another page, directly or through an indirect font, image or
// property dictionary. Only such pages carry other sheets' resources;
// pruning a page's own dictionary costs time (qpdf parses the whole content
// stream) and gains nothing.
std::vector<bool> resourceSharing(std::vector<QPDFObjectHandle>& pages)
{
    std::map<QPDFObjGen, int> uses;
    std::vector<std::vector<QPDFObjGen>> held(pages.size());
    std::vector<bool> shares(pages.size(), false);
    for (size_t i = 0; i < pages.size(); ++i) {
        QPDFObjectHandle resources = pages[i].getKey("/Resources");
        if (!resources.isDictionary()) {
            shares[i] = true; // inherited from the page tree, or none at all
            continue;
        }
        if (resources.isIndirect())
            held[i].push_back(resources.getObjGen());
        for (const std::string& key : resources.getKeys()) {
            QPDFObjectHandle sub = resources.getKey(key);
            if (sub.isIndirect())
                held[i].push_back(sub.getObjGen());
        }
        for (const QPDFObjGen& og : held[i])
            ++uses[og];
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        for (const QPDFObjGen& og : held[i]) {
            if (uses[og] > 1)
                shares[i] = true;
        }
    }
    return shares;
}

} // namespace

std::optional<QByteArray> PdfDocument::singlePagePdf(int index) const
{
    if (index < 0 || index >= pageCount() || !d->qpdf)
        return std::nullopt;
    try {
        QPDF& source = *d->qpdf;
        QPDFObjectHandle sourcePage = d->pages[size_t(index)];
        if (d->sharesResources.size() != d->pages.size())
            d->sharesResources = resourceSharing(d->pages);
        const bool prune = d->sharesResources[size_t(index)];

        QPDF out;
        out.setSuppressWarnings(true);
        out.emptyPDF();
        // Pushes inherited boxes, rotation and resources down to the page
        // (in the source's memory only, never its bytes) and copies the page.
        QPDFPageDocumentHelper(out).addPage(QPDFPageObjectHelper(sourcePage), false);
        const std::vector<QPDFPageObjectHelper> copied = QPDFPageDocumentHelper(out).getAllPages();
        if (copied.size() != 1)
            return std::nullopt;
        QPDFPageObjectHelper copyPage = copied.front();

        dropLinksToOtherPages(sourcePage, copyPage.getObjectHandle());
        try {
            // Shared resource dictionaries list every sheet's fonts and
            // images; keep only what this page's content names. A content
            // stream qpdf cannot parse keeps its resources whole.
            if (prune)
                copyPage.removeUnreferencedResources();
        } catch (const std::exception&) {
        }
        carryOptionalContent(source, out, copyPage.getObjectHandle());

        QPDFWriter writer(out);
        writer.setOutputMemory();
        // The file identifier is a digest of the content, so the same page
        // gives the same bytes every time.
        writer.setDeterministicID(true);
        writer.write();
        std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
        if (!buffer)
            return std::nullopt;
        return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()), qsizetype(buffer->getSize()));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}
