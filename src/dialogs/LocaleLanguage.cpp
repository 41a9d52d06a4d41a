// The dialogs' language on Linux: the user's locale.
#include <cstdlib>
#include <cstring>

#include "dialogs/DialogTemplate.h"

namespace korvix::dialogs {

Language LanguageOfLocale() {
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = std::getenv(variable);
        if (value == nullptr || *value == '\0') continue;
        return std::strncmp(value, "ja", 2) == 0 ? Language::Japanese : Language::English;
    }
    return Language::English;
}

}  // namespace korvix::dialogs
