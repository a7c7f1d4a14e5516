// How many drawn paths a page hands to the document.
#include <gtest/gtest.h>

#include "control/rtf_document.h"
#include "layout/model.h"
#include "layout/xml_parse.h"
#include "rtf/rtf_file.h"

namespace {

std::vector<std::unique_ptr<CRtfShpObject>> Paths(size_t count) {
    std::vector<std::unique_ptr<CRtfShpObject>> objects;
    for (size_t i = 0; i < count; ++i) {
        auto line = std::make_unique<CRtfLine>();
        line->m_strPath = "0 0 m\n100 50 l\nS\n";
        objects.push_back(std::move(line));
    }
    objects.push_back(std::make_unique<CRtfImage>());
    return objects;
}

TEST(PageObjects, APageOfCountlessPathsKeepsOnlyItsPictures) {
    const struct { size_t paths; size_t kept; } cases[] = {
        {3, 4}, {kMaxPathsPerPage, kMaxPathsPerPage + 1}, {kMaxPathsPerPage + 1, 1}};
    for (const auto& c : cases) {
        CRtfDocument doc(nullptr);
        CRtfPage page(&doc, 1);
        auto objects = Paths(c.paths);
        page.AddObjects(objects);
        EXPECT_EQ(page.m_pObjects.size(), c.kept) << c.paths << " paths";
        EXPECT_TRUE(objects.empty());
    }
}

}  // namespace
