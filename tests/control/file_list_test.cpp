// Input lists and their shards: what engines hand a batch run.
#include "control/file_list.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using List = std::vector<std::string>;

TEST(FileList, EntriesAreSplitAtTheSeparatorAndBlankOnesSkipped) {
    const struct {
        std::string text;
        char separator;
        List files;
    } cases[] = {
        {"a.pdf\nb.pdf\n", '\n', {"a.pdf", "b.pdf"}},
        {"a.pdf\nb.pdf", '\n', {"a.pdf", "b.pdf"}},  // no line end after the last
        {"\na.pdf\n\n\nb.pdf\n\n", '\n', {"a.pdf", "b.pdf"}},
        {"dir with spaces/x y.pdf\n-dash.pdf\n", '\n', {"dir with spaces/x y.pdf", "-dash.pdf"}},
        {"", '\n', {}},
        // NUL-separated lists hold any name, line feeds included.
        {std::string("a\nb.pdf\0c.pdf\0", 14), '\0', {"a\nb.pdf", "c.pdf"}},
        {std::string("\0\0c.pdf", 7), '\0', {"c.pdf"}},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.text);
        EXPECT_EQ(ReadFileList(in, c.separator), c.files) << c.text;
    }
}

TEST(FileList, ShardTextIsIndexSlashCount) {
    const struct {
        const char* text;
        bool ok;
        std::size_t index, count;
    } cases[] = {
        {"0/1", true, 0, 1},  {"3/4", true, 3, 4},   {"07/10", true, 7, 10}, {"4/4", false, 0, 0},
        {"1/0", false, 0, 0}, {"-1/2", false, 0, 0}, {"1/-2", false, 0, 0},  {"1", false, 0, 0},
        {"1/2/3", false, 0, 0}, {" 1/2", false, 0, 0}, {"1/2 ", false, 0, 0}, {"/2", false, 0, 0},
        {"1/", false, 0, 0},  {"a/b", false, 0, 0},  {"99999999999999999999/1", false, 0, 0},
    };
    for (const auto& c : cases) {
        CShard shard;
        shard.index = 42;
        EXPECT_EQ(ParseShard(c.text, shard), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(shard.index, c.index) << c.text;
            EXPECT_EQ(shard.count, c.count) << c.text;
        } else {
            EXPECT_EQ(shard.index, 42u) << c.text << ": a rejected text must leave the shard alone";
        }
    }
}

// A million paths: for each count, every path lands in exactly one shard,
// in list order, and shards differ in size by at most one.
TEST(FileList, ShardsOfAMillionPathsAreDisjointCompleteAndStable) {
    constexpr std::size_t kPaths = 1000000;
    List files;
    files.reserve(kPaths);
    for (std::size_t i = 0; i < kPaths; ++i) files.push_back("archive/" + std::to_string(i) + ".pdf");
    for (std::size_t count : {1u, 2u, 3u, 7u, 64u, 999983u, 1000000u, 1000001u}) {
        std::vector<unsigned char> seen(kPaths, 0);
        std::size_t smallest = kPaths, largest = 0;
        for (std::size_t index = 0; index < count; ++index) {
            const List part = SelectShard(files, CShard{index, count});
            smallest = std::min(smallest, part.size());
            largest = std::max(largest, part.size());
            std::size_t previous = 0;
            for (std::size_t k = 0; k < part.size(); ++k) {
                const std::size_t n = std::stoul(part[k].substr(8));
                ASSERT_EQ(n % count, index) << count;
                ASSERT_TRUE(k == 0 || n > previous) << "out of list order";
                previous = n;
                ++seen[n];
            }
            if (count > 1000 && index > 3) break;  // the large counts: only their first shards
        }
        if (count <= 1000) {
            for (std::size_t i = 0; i < kPaths; ++i) ASSERT_EQ(seen[i], 1) << "path " << i << " of " << count;
            EXPECT_LE(largest - smallest, 1u) << count;
        }
        // The same shard twice is the same list.
        EXPECT_EQ(SelectShard(files, CShard{count - 1, count}), SelectShard(files, CShard{count - 1, count}));
    }
}

}  // namespace
