// Link records, destinations and anchor markers of the text output device.
#include "extract/html_links.h"

#include <Catalog.h>
#include <Link.h>

#include <memory>
#include <string>
#include <utility>

HtmlLink::HtmlLink(double x1, double y1, double x2, double y2, std::string dest)
    : m_dXMin(x1 <= x2 ? x1 : x2),
      m_dYMin(y1 <= y2 ? y1 : y2),
      m_dXMax(x1 <= x2 ? x2 : x1),
      m_dYMax(y1 <= y2 ? y2 : y1),
      m_strDest(std::move(dest)) {}

bool HtmlLink::Contains(double xMin, double yMin, double xMax, double yMax) const {
    const double y = (yMin + yMax) / 2;
    return m_dYMin < y && y <= m_dYMax && m_dXMin < xMax && m_dXMax > xMin;
}

std::string HtmlLink::LinkStart() const {
    std::string s = kAnchorStartOpen;
    s += m_strDest;
    s += kAnchorStartClose;
    return s;
}

int HtmlLinkList::inLink(double xMin, double yMin, double xMax, double yMax) const {
    for (size_t i = 0; i < m_links.size(); ++i) {
        if (m_links[i].Contains(xMin, yMin, xMax, yMax)) return static_cast<int>(i);
    }
    return -1;
}

LinkDestinations::LinkDestinations(Catalog* catalog, std::string docBaseName)
    : m_pCatalog(catalog), m_strBaseName(std::move(docBaseName)) {}

namespace {
unsigned long long RefKey(Ref ref) {
    return static_cast<unsigned long long>(static_cast<unsigned>(ref.num)) << 32 | static_cast<unsigned>(ref.gen);
}
// A line end in a destination would split the data line that carries its
// marker, as one inside a run would: such bytes are dropped.
std::string WithoutLineEnds(std::string s) {
    std::erase_if(s, [](char c) { return c == '\n' || c == '\r'; });
    return s;
}
}  // namespace

std::string LinkDestinations::PlaceOf(const LinkDest* dest) {
    if (dest == nullptr) return std::string();
    int page = dest->getPageNum();
    if (dest->isPageRef()) {
        page = 0;
        if (m_pCatalog != nullptr) {
            if (!m_bPagesMapped) {
                m_bPagesMapped = true;
                // The first page with the reference wins, as in the
                // catalogue's own search.
                for (int i = 1, n = m_pCatalog->getNumPages(); i <= n; ++i) {
                    if (const Ref* ref = m_pCatalog->getPageRef(i)) m_pageByRef.emplace(RefKey(*ref), i);
                }
            }
            auto it = m_pageByRef.find(RefKey(dest->getPageRef()));
            if (it != m_pageByRef.end()) page = it->second;
        }
    }
    return m_strBaseName + ".xml#" + std::to_string(page);
}

std::string LinkDestinations::Of(const LinkAction* action) {
    if (action == nullptr) return std::string();
    switch (action->getKind()) {
        case actionGoTo: {
            const auto* go = static_cast<const LinkGoTo*>(action);
            if (go->getDest() != nullptr) return PlaceOf(go->getDest());
            const GooString* name = go->getNamedDest();
            if (name == nullptr || m_pCatalog == nullptr) return std::string();
            auto it = m_named.find(name->toStr());
            if (it != m_named.end()) return it->second;
            std::string place = PlaceOf(m_pCatalog->findDest(name).get());
            m_named.emplace(name->toStr(), place);
            return place;
        }
        case actionGoToR: {
            const GooString* file = static_cast<const LinkGoToR*>(action)->getFileName();
            return file != nullptr ? WithoutLineEnds(file->toStr()) : std::string();
        }
        case actionURI: return WithoutLineEnds(static_cast<const LinkURI*>(action)->getURI());
        default: return std::string();
    }
}

std::string LinkDestination(const LinkAction* action, Catalog* catalog, const std::string& docBaseName) {
    LinkDestinations dests(catalog, docBaseName);
    return dests.Of(action);
}
