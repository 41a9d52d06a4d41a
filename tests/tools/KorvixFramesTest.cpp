// korvix snap, stream and record end to end against a simulated camera: the files they
// write, their JSON, and what is left behind when a file cannot be written.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/TestEnvironment.h"
#include "tools/KorvixRun.h"

namespace korvix::test {
namespace {

namespace fs = std::filesystem;

std::string Head(const fs::path &file, size_t bytes) {
    std::ifstream in(file, std::ios::binary);
    std::string head(bytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(bytes));
    head.resize(static_cast<size_t>(in.gcount()));
    return head;
}

// Files of the directory whose names start with a dot: the tool's temporary files.
size_t HiddenFiles(const fs::path &directory) {
    size_t count = 0;
    for (const auto &entry : fs::directory_iterator(directory)) {
        count += entry.path().filename().string().front() == '.';
    }
    return count;
}

TEST(ToolsKorvixFrames, SnapWritesEveryFileType) {
    struct Case {
        std::string file;
        std::string magic;
    };
    const fs::path dir = TestDirectory();
    for (const Case &c : {Case{"f.bmp", "BM"}, Case{"f.jpg", "\xFF\xD8\xFF"}, Case{"f.png", "\x89PNG"},
                          Case{"f.tif", std::string("II*\0", 4)}}) {
        const KorvixResult result = Korvix({"snap", "--bits", "16", "-o", (dir / c.file).string()});
        ASSERT_EQ(result.exitCode, 0) << c.file << ": " << result.err;
        EXPECT_EQ(Head(dir / c.file, c.magic.size()), c.magic) << c.file;
    }
    // Raw: the pixels only, 8 bits each at 8 bits per pixel.
    const KorvixResult raw = Korvix({"--json", "snap", "--bits", "8", "-o", (dir / "f.raw").string()});
    ASSERT_EQ(raw.exitCode, 0) << raw.err;
    EXPECT_EQ(nlohmann::json::parse(raw.out)["files"][0]["bytes"], 1280 * 1024);
    EXPECT_EQ(HiddenFiles(dir), 0u);
}

TEST(ToolsKorvixFrames, SnapSeveralFramesByPatternWithWindowAndSubsampling) {
    const fs::path dir = TestDirectory();
    const KorvixResult result = Korvix({"--json", "snap", "-n", "3", "--bits", "8", "--window",
                                        "1280x480+0+32", "--subsample", "1", "--type", "raw", "-o",
                                        (dir / "s-{n}.data").string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto files = nlohmann::json::parse(result.out)["files"];
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[2]["file"], (dir / "s-0002.data").string());
    // This camera takes any rows but only whole sensor rows; sub-sampling halves both ways.
    EXPECT_EQ(fs::file_size(dir / "s-0000.data"), 640u * 240u);
}

TEST(ToolsKorvixFrames, StreamCountsFrames) {
    const KorvixResult result =
        Korvix({"--json", "stream", "--frames", "5", "--data-timeout", "2500"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto summary = nlohmann::json::parse(result.out);
    EXPECT_GE(summary["frames"], 5);
    EXPECT_EQ(summary["failed"], 0);
    EXPECT_GT(summary["fps"], 0.0);
    EXPECT_EQ(summary["interrupted"], false);
    // The library received at least the frames the tool was told of.
    EXPECT_GE(summary["statistics"]["delivered"], summary["frames"]);
    EXPECT_EQ(summary["statistics"]["transfer_failures"], 0);
    EXPECT_EQ(summary["statistics"]["data_timeout_ms"], 2500);
}

uint32_t Le32(const std::string &bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[offset + i])) << (8 * i);
    return value;
}

// A finished recording: the RIFF header states the file's length, and the index closing
// the file holds one entry for each frame the main header counts.
void ExpectFinishedAvi(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 232u) << file;
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 4), "AVI ");
    EXPECT_EQ(Le32(bytes, 4) + 8u, bytes.size());
    const uint32_t frames = Le32(bytes, 48);
    ASSERT_GT(frames, 0u);
    const size_t index = bytes.size() - 8 - 16 * size_t{frames};
    ASSERT_LT(index, bytes.size());
    EXPECT_EQ(bytes.substr(index, 4), "idx1");
    EXPECT_EQ(Le32(bytes, index + 4), 16 * frames);
}

TEST(ToolsKorvixFrames, RecordWritesAFinishedAvi) {
    const fs::path file = TestDirectory() / "run.avi";
    const KorvixResult result = Korvix({"--json", "record", "--bits", "8", "--seconds", "1", "-o", file.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ExpectFinishedAvi(file);
    EXPECT_EQ(HiddenFiles(TestDirectory()), 0u);
}

TEST(ToolsKorvixFrames, CtrlCEndsARecordingWithAFinishedAvi) {
    const fs::path file = TestDirectory() / "cut.avi";
    // Interrupted at the first progress line, a second into a minute's recording.
    const KorvixResult result = RunKorvixAndInterrupt(
        {"--simulate", "imx990", "record", "--bits", "8", "--seconds", "60", "-o", file.string()}, "recording: ");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("stopped early"), std::string::npos) << result.out;
    ExpectFinishedAvi(file);
    EXPECT_EQ(HiddenFiles(TestDirectory()), 0u);
}

TEST(ToolsKorvixFrames, RecordShowsAProgressBarOnlyOnATerminal) {
    const fs::path dir = TestDirectory();
    const KorvixResult terminal =
        RunKorvixInTerminal({"--simulate", "imx990", "record", "--seconds", "1.5", "-o", (dir / "t.avi").string()});
    ASSERT_EQ(terminal.exitCode, 0) << terminal.out;
    EXPECT_NE(terminal.out.find("\r["), std::string::npos) << terminal.out;
    EXPECT_NE(terminal.out.find("100%"), std::string::npos) << terminal.out;
    EXPECT_EQ(terminal.out.find("recording: "), std::string::npos) << terminal.out;

    const KorvixResult piped = Korvix({"record", "--seconds", "1.5", "-o", (dir / "p.avi").string()});
    ASSERT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(piped.out.find('\r'), std::string::npos) << piped.out;
    EXPECT_NE(piped.out.find("recording: 1."), std::string::npos) << piped.out;
    EXPECT_NE(piped.out.find("wrote " + (dir / "p.avi").string()), std::string::npos) << piped.out;
}

TEST(ToolsKorvixFrames, UnwritableOutputFailsCleanlyAndLeavesNothing) {
    const fs::path missing = TestDirectory() / "no-such-folder";
    for (const std::vector<std::string> &command :
         {std::vector<std::string>{"snap", "-o", (missing / "x.png").string()},
          std::vector<std::string>{"record", "--seconds", "1", "-o", (missing / "x.avi").string()}}) {
        const KorvixResult result = Korvix(command);
        EXPECT_EQ(result.exitCode, 4) << result.err;
        EXPECT_EQ(result.err, "error: cannot write '" + (missing / ("x" + fs::path(command.back()).extension().string())).string() +
                                  "': No such file or directory\n");
    }
    EXPECT_FALSE(fs::exists(missing));
    const KorvixResult unknownType = Korvix({"snap", "-o", (TestDirectory() / "x.gif").string()});
    EXPECT_EQ(unknownType.exitCode, 2);
    EXPECT_EQ(HiddenFiles(TestDirectory()), 0u);
}

}  // namespace
}  // namespace korvix::test
