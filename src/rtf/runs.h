// Text runs of a fragment as RTF: one group per word, and the line writers
// of each layout (flowing line, exact frames, paragraph, plain paragraph).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "layout/model.h"

struct CLayoutContext;

// How a flowing line is set narrower than its font would set it, so that
// it keeps to its width on the PDF page: `scale` multiplies every run's
// horizontal scale (\charscalex), `size` its font size.
struct LineFit {
    double scale = 1.0;
    double size = 1.0;
};

// The runs of a line as they are written. A run that carries the same
// format as the one before it is joined to it: PDFs that place each glyph
// on its own would otherwise give a fully formatted group per glyph, and
// the pieces of a word would be separate runs in the word processor.
class CRunJoiner {
public:
    virtual ~CRunJoiner() = default;
    void Add(const TRtfWord<void>& word, int8_t rise, bool trim, const LineFit& fit = LineFit());
    void Add(const CRtfSentence& words, int8_t rise, bool trim, const LineFit& fit = LineFit());
    // Spaces between two pieces of a line.
    void Spaces(size_t count);
    // A gap written as a group of its own (a widened space).
    void Gap(const std::string& group);
    // Any other RTF; it ends the run being joined.
    void Raw(const std::string& rtf);
    // Everything added, in order; the joiner is empty afterwards.
    std::string Take();

private:
    void Flush();

    bool m_bOpen = false;
    std::string m_strOut;
    std::string m_strHead;
    std::string m_strText;
    std::string m_strOff;
    std::string m_strGap;     // the pending gap inside a joined run's text
    std::string m_strGapOut;  // the same gap after a run that ends
};

std::string FormatRun(const TRtfWord<void>& word, int8_t rise, bool trim, const LineFit& fit = LineFit());
std::string FormatRuns(const CRtfSentence& words, int8_t rise, bool trim, const LineFit& fit = LineFit());
std::string FormatPlainRun(const TRtfWord<void>& word);
std::string PlainRuns(const CRtfSentence& words);
std::string StripLinks(const std::string& s);
std::string AddHyperlinks(const CRtfXmlText& text, const std::string& s);

// FLOWING. A line written into a column (its left and right edges on the
// page, in page units) is fitted to its width on the PDF page and to the
// column; without one it is written as its fonts set it.
std::string WriteFragment(CRtfXmlText& text, const CRect* column = nullptr);
std::string WriteLine(CRtfXmlText& text, const CRect* column = nullptr);
std::string WriteRotated(CRtfXmlText& text);
// The counter-clockwise angle (0 to 359) at which a fragment's text runs on
// the page as shown.
int32_t TextAngle(const CRtfXmlText& text);
// The twips rectangle of the text shape WriteRotated writes for a fragment
// whose text runs across the page; empty when there is nothing to show.
CRect RotatedShapeBox(const CRtfXmlText& text);
// A frame of the exact layout before it is written: its box on the page
// (page units, normalised) and its text, hyperlink fields made.
struct ExactFrame {
    CRect box;  // all its text, raised and lowered pieces included
    std::string text;
    CRect band;  // the pieces on its first piece's baseline; empty: the box
};
std::vector<ExactFrame> ExactFramesOf(CRtfXmlText& text);
std::string WriteExactFrames(CRtfXmlText& text);     // EXACT, each frame on its own
// The frames of a page, the lines of each block of text sharing one frame;
// the frames are text boxes numbered from `context` (may be null).
// The frames stay on paper of `paperWidth` by `paperHeight` twips: the
// word processor moves a frame that reaches past the paper back onto it,
// text and all.
std::string WriteExactBlocks(const std::vector<ExactFrame>& frames, CLayoutContext* context,
                             int32_t paperWidth = INT32_MAX, int32_t paperHeight = INT32_MAX);
std::string WriteParagraph(CRtfXmlText& text);       // NO IMAGES
std::string WritePlainParagraph(CRtfXmlText& text);  // PlAIN TEXT
