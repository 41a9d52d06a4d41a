// korvix snap, stream and record end to end against a simulated camera: the files they
// write, their JSON, and what is left behind when a file cannot be written.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

#include "support/TestEnvironment.h"
#include "tools/KorvixRun.h"

namespace korvix::test {
namespace {

namespace fs = std::filesystem;

KorvixResult Korvix(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--simulate", "imx990"});
    return RunKorvix(arguments);
}

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
    const KorvixResult result = Korvix({"--json", "stream", "--frames", "5"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto summary = nlohmann::json::parse(result.out);
    EXPECT_GE(summary["frames"], 5);
    EXPECT_EQ(summary["failed"], 0);
    EXPECT_GT(summary["fps"], 0.0);
    EXPECT_EQ(summary["interrupted"], false);
}

TEST(ToolsKorvixFrames, RecordWritesAFinishedAvi) {
    const fs::path file = TestDirectory() / "run.avi";
    const KorvixResult result = Korvix({"--json", "record", "--bits", "8", "--seconds", "1", "-o", file.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string head = Head(file, 12);
    EXPECT_EQ(head.substr(0, 4), "RIFF");
    EXPECT_EQ(head.substr(8, 4), "AVI ");
    // A finished file states its own length in the RIFF header.
    const uint32_t riffLength = static_cast<uint8_t>(head[4]) | static_cast<uint8_t>(head[5]) << 8 |
                                static_cast<uint8_t>(head[6]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(head[7])) << 24;
    EXPECT_EQ(riffLength + 8, fs::file_size(file));
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
