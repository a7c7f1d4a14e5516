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
    CRect box;
    std::string text;
};
std::vector<ExactFrame> ExactFramesOf(CRtfXmlText& text);
std::string WriteExactFrames(CRtfXmlText& text);     // EXACT, each frame on its own
// The frames of a page, the lines of each block of text sharing one frame;
// the frames are text boxes numbered from `context` (may be null).
std::string WriteExactBlocks(const std::vector<ExactFrame>& frames, CLayoutContext* context);
std::string WriteParagraph(CRtfXmlText& text);       // NO IMAGES
std::string WritePlainParagraph(CRtfXmlText& text);  // PlAIN TEXT
