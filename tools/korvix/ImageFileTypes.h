#pragma once

#include <string>
#include <vector>

namespace korvix::tool {

// The names of --type: bmp, raw, jpg (quality 100), jpg100, jpg70, jpg20, png, tif.
std::vector<std::string> ImageFileTypeNames();

// The file type number of Korvix_SaveImage for `typeName`, or, when it is empty, for the
// extension of `path` (.bmp, .raw, .jpg/.jpeg, .png, .tif/.tiff). Throws a usage error
// when neither tells.
int ImageFileType(const std::string &path, const std::string &typeName);

}  // namespace korvix::tool
