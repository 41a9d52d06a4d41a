#pragma once

#include <filesystem>
#include <string>

namespace korvix::tool {

// An output file that appears under its name only when complete. The library writes into
// a temporary file beside the final one; Commit renames it into place, and a PendingFile
// destroyed without Commit removes the temporary file, so a failure or an interruption
// never leaves a half-written file under the final name.
class PendingFile {
public:
    // Creates the (empty) temporary file at once, so an unwritable place fails here with a
    // clear message (FileError, exit code 4).
    explicit PendingFile(std::filesystem::path finalPath);
    ~PendingFile();
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    // Where the library writes.
    const std::string &TempPath() const { return tempPath_; }
    const std::filesystem::path &FinalPath() const { return finalPath_; }
    // The size of what was written so far.
    uintmax_t WrittenBytes() const;
    // Moves the file into place; throws FileError when the library left it empty or the
    // rename fails.
    void Commit();

private:
    std::filesystem::path finalPath_;
    std::string tempPath_;
    bool committed_ = false;
};

}  // namespace korvix::tool
