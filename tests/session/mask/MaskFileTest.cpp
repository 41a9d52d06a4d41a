#include "session/mask/MaskFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

#include "support/TestEnvironment.h"

namespace korvix::mask {
namespace {

// Four 1280 x 1024 references filled with one value each.
struct References {
    imaging::FrameImage dark8, bright8, dark16, bright16;

    References(int d8, int b8, int d16, int b16) {
        Fill(dark8, 8, d8);
        Fill(bright8, 8, b8);
        Fill(dark16, 16, d16);
        Fill(bright16, 16, b16);
    }
    MaskReferences View() { return {&dark8, &bright8, &dark16, &bright16}; }

    static void Fill(imaging::FrameImage &image, int bits, int value) {
        image.Create(kMaskWidth, kMaskHeight, bits);
        if (bits == 8) {
            std::fill_n(image.Bits(), image.SizeBytes(), static_cast<uint8_t>(value));
        } else {
            auto *samples = reinterpret_cast<uint16_t *>(image.Bits());
            std::fill_n(samples, image.SizeBytes() / 2, static_cast<uint16_t>(value));
        }
    }
};

std::string PathOf(const char *name) {
    return (test::TestDirectory() / name).string();
}

std::vector<uint8_t> ReadAll(const std::string &path) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadMaskFile(path.c_str(), bytes));
    return bytes;
}

TEST(SessionMaskFile, NeutralReferencesWriteTheDocumentedFile) {
    References neutral(0, 255, 0, 4095);
    const std::string path = PathOf("neutral.msk");
    ASSERT_TRUE(WriteMaskFile(path.c_str(), neutral.View()));
    const std::vector<uint8_t> file = ReadAll(path);
    ASSERT_EQ(file.size(), 7864360u);

    const uint8_t header[40] = {'V',  'E',  'L', 'S', 'O',  'R', ' ',  'M',  'A',  'S',
                                'K',  '1',  '0', '0', '0',  0,   0x00, 0x05, 0,    0,
                                0x00, 0x04, 0,   0,   0,    0,   0x14, 0,    0,    0,
                                0x14, 0,    0,   0,   0x28, 0,   0,    0,    0x28, 0};
    EXPECT_EQ(std::memcmp(file.data(), header, sizeof header), 0);
    const auto countOf = [&file](size_t from, size_t to, uint8_t value) {
        return std::count(file.begin() + from, file.begin() + to, value);
    };
    EXPECT_EQ(countOf(40, 1310760, 0), 1310720);
    EXPECT_EQ(countOf(1310760, 2621480, 255), 1310720);
    EXPECT_EQ(countOf(2621480, 5242920, 0), 2621440);
    for (size_t at = 5242920; at < file.size(); at += 2) {
        ASSERT_EQ(file[at] | file[at + 1] << 8, 4095) << at;
    }
    EXPECT_TRUE(IsValidMaskFile(file));
}

TEST(SessionMaskFile, ValidFileStoresEveryReference) {
    References written(7, 200, 300, 3500);
    written.dark8.Bits()[5 * 1280 + 9] = 99;  // a pixel of its own, to see row order kept
    const std::string path = PathOf("round.msk");
    ASSERT_TRUE(WriteMaskFile(path.c_str(), written.View()));

    References loaded(0, 255, 0, 4095);
    ASSERT_TRUE(StoreMaskFile(ReadAll(path), loaded.View()));
    for (auto [a, b] : {std::pair{&written.dark8, &loaded.dark8},
                        {&written.bright8, &loaded.bright8},
                        {&written.dark16, &loaded.dark16},
                        {&written.bright16, &loaded.bright16}}) {
        EXPECT_EQ(std::memcmp(a->Bits(), b->Bits(), a->SizeBytes()), 0);
    }
}

// Every damaged file is refused and leaves the references exactly as they were.
TEST(SessionMaskFile, DamagedFilesChangeNothing) {
    References source(1, 2, 3, 4);
    const std::string path = PathOf("source.msk");
    ASSERT_TRUE(WriteMaskFile(path.c_str(), source.View()));
    const std::vector<uint8_t> good = ReadAll(path);

    struct Damage {
        const char *name;
        void (*apply)(std::vector<uint8_t> &);
    };
    const Damage damages[] = {
        {"width 640",
         [](std::vector<uint8_t> &f) {
             f[16] = 0x80;
             f[17] = 0x02;
         }},
        {"height 512", [](std::vector<uint8_t> &f) { f[21] = 0x02; }},
        {"16-bit bright size", [](std::vector<uint8_t> &f) { f[36] = 1; }},
        {"magic", [](std::vector<uint8_t> &f) { f[14] = '1'; }},
        {"magic without its zero", [](std::vector<uint8_t> &f) { f[15] = 'X'; }},
        {"truncated", [](std::vector<uint8_t> &f) { f.pop_back(); }},
        {"header only", [](std::vector<uint8_t> &f) { f.resize(40); }},
        {"one byte more", [](std::vector<uint8_t> &f) { f.push_back(0); }},
        {"empty", [](std::vector<uint8_t> &f) { f.clear(); }},
    };
    References kept(10, 20, 30, 40);
    for (const Damage &damage : damages) {
        std::vector<uint8_t> file = good;
        damage.apply(file);
        EXPECT_FALSE(StoreMaskFile(file, kept.View())) << damage.name;
    }
    const References expected(10, 20, 30, 40);
    for (auto [a, b] : {std::pair{&kept.dark8, &expected.dark8},
                        {&kept.bright8, &expected.bright8},
                        {&kept.dark16, &expected.dark16},
                        {&kept.bright16, &expected.bright16}}) {
        EXPECT_EQ(std::memcmp(a->Bits(), b->Bits(), a->SizeBytes()), 0);
    }

    // A file on disk longer than a mask file is not even read in full.
    std::vector<uint8_t> longer = good;
    longer.resize(good.size() + 4096);
    const std::string longPath = PathOf("long.msk");
    std::ofstream(longPath, std::ios::binary)
        .write(reinterpret_cast<const char *>(longer.data()),
               static_cast<std::streamsize>(longer.size()));
    std::vector<uint8_t> scratch;
    EXPECT_FALSE(ReadMaskFile(longPath.c_str(), scratch));
}

TEST(SessionMaskFile, FailedWritesAndMissingFilesAreReported) {
    References refs(0, 255, 0, 4095);
    std::vector<uint8_t> scratch;
    EXPECT_FALSE(ReadMaskFile(PathOf("missing.msk").c_str(), scratch));
    EXPECT_FALSE(WriteMaskFile(PathOf("no/such/dir.msk").c_str(), refs.View()));
    // A full device accepts the open but not the data.
    EXPECT_FALSE(WriteMaskFile("/dev/full", refs.View()));
    MaskReferences incomplete = refs.View();
    incomplete.bright16 = nullptr;
    EXPECT_FALSE(WriteMaskFile(PathOf("incomplete.msk").c_str(), incomplete));
}

}  // namespace
}  // namespace korvix::mask
