// korvix mask end to end: references captured from a simulated camera that sees an even
// scene, the mask file they make, and a corrected frame.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/TestEnvironment.h"
#include "tools/KorvixRun.h"

namespace korvix::test {
namespace {

namespace fs = std::filesystem;

constexpr uintmax_t kMaskFileBytes = 7864360;
constexpr size_t kDark8Offset = 40;
constexpr size_t kBright8Offset = 40 + 1310720;

uint8_t ByteAt(const fs::path &file, size_t offset) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    return static_cast<uint8_t>(in.get());
}

TEST(ToolsKorvixMask, DarkAndBrightReferencesCorrectAFrame) {
    const fs::path mask = TestDirectory() / "lab.msk";
    // 8-bit frames carry the top 8 of the 12 bits: 400 / 16 = 25, 3200 / 16 = 200.
    KorvixResult dark = RunKorvix({"--simulate", "imx990:scene=uniform:400", "mask", "dark", mask.string()});
    ASSERT_EQ(dark.exitCode, 0) << dark.err;
    KorvixResult bright = RunKorvix({"--simulate", "imx990:scene=uniform:3200", "mask", "bright", mask.string()});
    ASSERT_EQ(bright.exitCode, 0) << bright.err;
    ASSERT_EQ(fs::file_size(mask), kMaskFileBytes);
    // The bright capture kept the dark reference the file held.
    EXPECT_EQ(ByteAt(mask, kDark8Offset + 1280 * 500 + 600), 25);
    EXPECT_EQ(ByteAt(mask, kBright8Offset + 1280 * 500 + 600), 200);

    const fs::path corrected = TestDirectory() / "corrected.bmp";
    KorvixResult apply = RunKorvix({"--simulate", "imx990:scene=uniform:1800", "mask", "apply",
                                    mask.string(), "--bits", "8", "-o", corrected.string()});
    ASSERT_EQ(apply.exitCode, 0) << apply.err;
    // (112 - 25) x 256 / (200 - 25) = 127: the middle of the references.
    EXPECT_EQ(ByteAt(corrected, 1078 + 1280 * 500 + 600), 127);
}

TEST(ToolsKorvixMask, SavedNeutralMaskLoadsAndBadFilesAreRefused) {
    const fs::path mask = TestDirectory() / "neutral.msk";
    ASSERT_EQ(RunKorvix({"--simulate", "imx990", "mask", "save", mask.string()}).exitCode, 0);
    EXPECT_EQ(fs::file_size(mask), kMaskFileBytes);
    EXPECT_EQ(RunKorvix({"--simulate", "imx990", "mask", "load", mask.string()}).exitCode, 0);

    const KorvixResult missing = RunKorvix({"--simulate", "imx990", "mask", "load", "/no/such.msk"});
    EXPECT_EQ(missing.exitCode, 4);
    EXPECT_EQ(missing.err, "error: cannot read '/no/such.msk': no such file\n");

    const fs::path damaged = TestDirectory() / "damaged.msk";
    std::ofstream(damaged) << "VELSOR MASK0000";
    const KorvixResult refused = RunKorvix({"--simulate", "imx990", "mask", "load", damaged.string()});
    EXPECT_EQ(refused.exitCode, 4);
    EXPECT_NE(refused.err.find("CAMERR_MASK_FILE (14)"), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace korvix::test
