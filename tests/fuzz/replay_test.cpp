// Replays every input kept under fuzz/crashes/<target>/ through the entry
// point of fuzz/fuzz_<target>.cpp, without libFuzzer, so that a fault a
// fuzzer once found stays fixed in every build. An input that crashes kills
// this test's process; the input's name is printed before it runs.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "support/test_util.h"

// The fuzz targets' entry points, renamed by the build.
extern "C" {
int Replay_fuzz_convert(const uint8_t*, size_t);
int Replay_fuzz_font_map(const uint8_t*, size_t);
int Replay_fuzz_image_extractor(const uint8_t*, size_t);
int Replay_fuzz_page_range(const uint8_t*, size_t);
int Replay_fuzz_page_xml(const uint8_t*, size_t);
int Replay_fuzz_settings_file(const uint8_t*, size_t);
int Replay_fuzz_shape(const uint8_t*, size_t);
}

namespace {

namespace fs = std::filesystem;

struct Target {
    const char* name;
    int (*entry)(const uint8_t*, size_t);
};

const Target kTargets[] = {
    {"convert", Replay_fuzz_convert},       {"font_map", Replay_fuzz_font_map}, {"image_extractor", Replay_fuzz_image_extractor},
    {"page_range", Replay_fuzz_page_range}, {"page_xml", Replay_fuzz_page_xml},
    {"settings_file", Replay_fuzz_settings_file}, {"shape", Replay_fuzz_shape},
};

void PrintTo(const Target& t, std::ostream* os) { *os << t.name; }

const fs::path kFuzz = fs::path(QUILLMARK_SOURCE_DIR) / "fuzz";

class FuzzCrashes : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzCrashes, KeptInputsRunThroughTheTarget) {
    int inputs = 0;
    for (const auto& e : fs::directory_iterator(kFuzz / "crashes" / GetParam().name)) {
        if (e.path().filename() == "README") continue;
        std::fprintf(stderr, "replaying %s\n", e.path().c_str());
        const std::string bytes = qmtest::ReadFile(e.path());
        GetParam().entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ++inputs;
    }
    EXPECT_GT(inputs, 0);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCrashes, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });

TEST(FuzzTargets, EveryTargetIsReplayed) {
    std::set<std::string> names;
    for (const auto& t : kTargets) names.insert(t.name);
    for (const auto& e : fs::directory_iterator(kFuzz))
        if (e.path().extension() == ".cpp") {
            EXPECT_EQ(names.count(e.path().stem().string().substr(5)), 1u) << e.path();
        }
}

}  // namespace
