#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvix::tool {

// The camera and image settings the tool reads and writes by name. Most are the library's
// setting ids (Korvix_GetFilterValue / Korvix_SetFilterValue); a few have exports of their
// own (mirrors, automatic exposure).
struct Setting {
    const char *name;         // e.g. "brightness"
    int id;                   // setting id, or 0 for a setting with exports of its own
    bool readable;
    bool writable;
    const char *description;  // what it is and what a set accepts
};

const std::vector<Setting> &Settings();

// The setting called `nameOrId`: a name of the table, or a number, which is handed to the
// library as a setting id even when the table does not know it (the library then answers).
// Throws a usage error for an unknown name.
Setting FindSetting(const std::string &nameOrId);

// Reading and writing through the library; a failure throws CameraError.
class Session;
int ReadSetting(const Session &session, const Setting &setting);
void WriteSetting(const Session &session, const Setting &setting, int value);

}  // namespace korvix::tool
