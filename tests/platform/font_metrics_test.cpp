// Text measurement with the installed Liberation fonts.
#include <gtest/gtest.h>

#include "platform/font_metrics.h"

namespace {

qm::TextExtent Measure(const std::string& face, int points, const std::u32string& text, bool bold = false,
                       bool italic = false) {
    qm::TextExtent e;
    EXPECT_TRUE(qm::MeasureString(face, points, bold, italic, text, e)) << face;
    return e;
}

}  // namespace

TEST(FontMetrics, WindowsFaceNamesMeasureWithTheirMetricCompatibleFonts) {
    EXPECT_NE(qm::MatchedFontFile("Times New Roman", false, false).find("LiberationSerif-Regular"), std::string::npos);
    EXPECT_NE(qm::MatchedFontFile("Arial", true, false).find("LiberationSans-Bold"), std::string::npos);
    EXPECT_NE(qm::MatchedFontFile("Times New Roman", true, true).find("LiberationSerif-BoldItalic"),
              std::string::npos);
    // A trailing space in a face name does not lose the family.
    EXPECT_NE(qm::MatchedFontFile("Arial ", false, false).find("LiberationSans-Regular"), std::string::npos);

    const qm::TextExtent times = Measure("Times New Roman", 12, U"The quick brown fox");
    const qm::TextExtent serif = Measure("Liberation Serif", 12, U"The quick brown fox");
    EXPECT_EQ(times.cx, serif.cx);
    EXPECT_EQ(times.cy, serif.cy);
    EXPECT_GT(times.cx, 100);
    EXPECT_LT(times.cx, 160);
}

TEST(FontMetrics, ExtentsOfStylesSizesAndCharacters) {
    // "AV" is a kerning pair in Liberation Serif; screen extents ignore it.
    const qm::TextExtent a = Measure("Liberation Serif", 24, U"A");
    const qm::TextExtent v = Measure("Liberation Serif", 24, U"V");
    EXPECT_EQ(Measure("Liberation Serif", 24, U"AV").cx, a.cx + v.cx);
    EXPECT_EQ(Measure("Liberation Serif", 24, U"").cx, 0);

    const qm::TextExtent regular = Measure("Liberation Sans", 12, U"Bold words here");
    const qm::TextExtent bold = Measure("Liberation Sans", 12, U"Bold words here", true);
    const qm::TextExtent bigger = Measure("Liberation Sans", 24, U"Bold words here");
    EXPECT_GT(bold.cx, regular.cx);
    EXPECT_NEAR(bigger.cx, 2 * regular.cx, 3);
    // The height is the font's cell (ascent plus descent), a little more
    // than the pixel size and the same for every text.
    EXPECT_GE(regular.cy, 16);
    EXPECT_LE(regular.cy, 20);
    EXPECT_EQ(Measure("Liberation Sans", 12, U"x").cy, regular.cy);
    EXPECT_GT(bigger.cy, regular.cy);

    // Characters beyond Latin-1 are measured as themselves.
    const qm::TextExtent dash = Measure("Liberation Serif", 20, U"\u2014");
    EXPECT_GT(dash.cx, 0);
    EXPECT_LT(dash.cx, 2 * Measure("Liberation Serif", 20, U"m").cx);

    // Unknown faces fall back to an installed font.
    EXPECT_GT(Measure("No Such Face Anywhere", 10, U"abc").cx, 0);
    EXPECT_EQ(Measure("Liberation Serif", 0, U"abc").cx, 0);
}

namespace {

double Ems(const std::string& face, const std::u32string& text, bool bold = false) {
    double ems = -1;
    EXPECT_TRUE(qm::MeasureEms(face, bold, false, text, ems)) << face;
    return ems;
}

}  // namespace

// Widths in ems are the font's own advances, unhinted and the same at every
// size: what a word processor lays a line out with.
TEST(FontMetrics, WidthsInEmsAreTheFontsAdvances) {
    // Liberation Mono's advance is 1229 of 2048 units.
    EXPECT_NEAR(Ems("Courier New", U"abcde"), 5 * 1229.0 / 2048, 1e-9);
    EXPECT_EQ(Ems("Courier New", U""), 0.0);
    // No kerning: a pair measures as its two letters.
    EXPECT_DOUBLE_EQ(Ems("Times New Roman", U"AV"), Ems("Times New Roman", U"A") + Ems("Times New Roman", U"V"));
    EXPECT_GT(Ems("Arial", U"Bold words", true), Ems("Arial", U"Bold words"));
    // A character the face lacks is measured in the font offered for it:
    // an alef as narrow as Arabic fonts draw it, not half an em made up.
    const double alef = Ems("Times New Roman", U"\u0627");
    EXPECT_GT(alef, 0.1);
    EXPECT_LT(alef, 0.45);
}
