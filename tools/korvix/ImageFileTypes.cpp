#include "ImageFileTypes.h"

#include <array>
#include <cctype>
#include <filesystem>

#include "ToolErrors.h"

namespace korvix::tool {

namespace {

struct FileType {
    const char *name;
    int number;  // file type of Korvix_SaveImage
};

constexpr std::array kFileTypes{
    FileType{"bmp", 0},   FileType{"raw", 1},   FileType{"jpg", 2}, FileType{"jpg100", 2},
    FileType{"jpg70", 3}, FileType{"jpg20", 4}, FileType{"png", 5}, FileType{"tif", 6},
};

// Extensions name a format only, not a JPEG quality.
const std::array<std::pair<const char *, const char *>, 7> kExtensions{{
    {"bmp", "bmp"}, {"raw", "raw"}, {"jpg", "jpg"}, {"jpeg", "jpg"}, {"png", "png"},
    {"tif", "tif"}, {"tiff", "tif"},
}};

int Named(const std::string &name) {
    for (const FileType &type : kFileTypes) {
        if (name == type.name) return type.number;
    }
    return -1;
}

}  // namespace

std::vector<std::string> ImageFileTypeNames() {
    std::vector<std::string> names;
    for (const FileType &type : kFileTypes) names.emplace_back(type.name);
    return names;
}

int ImageFileType(const std::string &path, const std::string &typeName) {
    if (!typeName.empty()) {
        const int type = Named(typeName);
        if (type < 0) throw UsageError("unknown file type '" + typeName + "'");
        return type;
    }
    std::string extension = std::filesystem::path(path).extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    for (char &c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto &[suffix, name] : kExtensions) {
        if (extension == suffix) return Named(name);
    }
    throw UsageError("cannot tell the file type of '" + path +
                     "': name it .bmp, .raw, .jpg, .png or .tif, or give --type");
}

}  // namespace korvix::tool
