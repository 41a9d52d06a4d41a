// The dialogs' language on Windows: the system default language.
#include <windows.h>

#include "dialogs/DialogTemplate.h"

namespace korvix::dialogs {

Language LanguageOfLocale() {
    return PRIMARYLANGID(GetSystemDefaultLangID()) == LANG_JAPANESE ? Language::Japanese
                                                                    : Language::English;
}

}  // namespace korvix::dialogs
