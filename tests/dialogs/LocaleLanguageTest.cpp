#include <gtest/gtest.h>

#include <cstdlib>

#include "dialogs/DialogTemplate.h"

namespace korvix::dialogs {
namespace {

TEST(DialogsTemplate, LanguageFollowsTheLocale) {
    struct Case {
        const char *all, *messages, *lang;
        Language expected;
    };
    const Case cases[] = {
        {"", "", "ja_JP.UTF-8", Language::Japanese},
        {"", "en_US.UTF-8", "ja_JP.UTF-8", Language::English},
        {"ja_JP.eucJP", "en_US.UTF-8", "", Language::Japanese},
        {"", "", "C", Language::English},
        {"", "", "", Language::English},
    };
    for (const Case &c : cases) {
        setenv("LC_ALL", c.all, 1);
        setenv("LC_MESSAGES", c.messages, 1);
        setenv("LANG", c.lang, 1);
        EXPECT_EQ(LanguageOfLocale(), c.expected) << c.all << "|" << c.messages << "|" << c.lang;
    }
}

}  // namespace
}  // namespace korvix::dialogs
