// The dialogs' language on Windows: the system default language.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "dialogs/DialogTemplate.h"

namespace korvix::dialogs {

Language LanguageOfLocale() {
    return PRIMARYLANGID(GetSystemDefaultLangID()) == LANG_JAPANESE ? Language::Japanese
                                                                    : Language::English;
}

}  // namespace korvix::dialogs
