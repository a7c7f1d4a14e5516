// Links of one page for the text output device: their device rectangles
// and destinations, the test that finds the link a text run lies in, and the
// anchor markers that carry the destination through the page XML document
// to the RTF writer's hyperlink fields.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

class Catalog;
class LinkAction;
class LinkDest;

// Opens an anchor; the destination and kAnchorStartClose follow it.
inline constexpr const char* kAnchorStartOpen = "<#dsAnchor#";
inline constexpr const char* kAnchorStartClose = "~dsAnchor#>";
inline constexpr const char* kAnchorEnd = "</~dsAnchor#>";

class HtmlLink {
public:
    // Corners in any order; the link keeps them ordered.
    HtmlLink(double x1, double y1, double x2, double y2, std::string dest);
    virtual ~HtmlLink() = default;
    HtmlLink(const HtmlLink&) = default;
    HtmlLink& operator=(const HtmlLink&) = default;

    double getX1() const { return m_dXMin; }
    double getY1() const { return m_dYMin; }
    double getX2() const { return m_dXMax; }
    double getY2() const { return m_dYMax; }
    const std::string& getDest() const { return m_strDest; }

    // A run belongs to the link when its vertical middle lies in the link
    // (the lower edge inside, the upper edge outside) and it overlaps the
    // link horizontally.
    bool Contains(double xMin, double yMin, double xMax, double yMax) const;

    std::string LinkStart() const;

private:
    double m_dXMin;
    double m_dYMin;
    double m_dXMax;
    double m_dYMax;
    std::string m_strDest;
};

class HtmlLinkList {
public:
    virtual ~HtmlLinkList() = default;

    void AddLink(const HtmlLink& link) { m_links.push_back(link); }
    // Index of the first link that contains the run, or -1.
    int inLink(double xMin, double yMin, double xMax, double yMax) const;
    const HtmlLink& getLink(int i) const { return m_links[static_cast<size_t>(i)]; }
    int getNumLinks() const { return static_cast<int>(m_links.size()); }
    bool isEmpty() const { return m_links.empty(); }
    void Clear() { m_links.clear(); }

private:
    std::vector<HtmlLink> m_links;
};

// Destination texts of link actions of one document. A place in the same
// document becomes "<docBaseName>.xml#<page>", `docBaseName` being the page
// XML document's file name without folder and extension. The core looks a
// named destination up by parsing its object (often a whole object stream)
// and a page reference by walking the page list, so both are remembered.
class LinkDestinations {
public:
    LinkDestinations(Catalog* catalog, std::string docBaseName);
    virtual ~LinkDestinations() = default;

    std::string Of(const LinkAction* action);
    Catalog* GetCatalog() const { return m_pCatalog; }

private:
    std::string PlaceOf(const LinkDest* dest);

    Catalog* m_pCatalog;
    std::string m_strBaseName;
    std::unordered_map<std::string, std::string> m_named;
    std::unordered_map<unsigned long long, int> m_pageByRef;
    bool m_bPagesMapped = false;
};

// One destination text, without remembering anything.
std::string LinkDestination(const LinkAction* action, Catalog* catalog, const std::string& docBaseName);
