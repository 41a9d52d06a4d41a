#include "dialogs/DialogTemplate.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace korvix::dialogs {
namespace {

constexpr TemplateId kAllTemplates[] = {
    TemplateId::Camera,          TemplateId::ImageFrame,  TemplateId::ImageFilterPage,
    TemplateId::GrayFilterPage,  TemplateId::AnalogFrame, TemplateId::AnalogMonoPage,
    TemplateId::AnalogColorPage,
};

// Every template parses in both languages, the two versions share ids, kinds and layout,
// every addressed id is unique within its template, and every Japanese text is translated
// wherever the English one has letters to translate.
TEST(DialogsTemplate, BothLanguagesShareTheLayout) {
    for (TemplateId id : kAllTemplates) {
        const DialogTemplate &english = GetDialogTemplate(id, Language::English);
        const DialogTemplate &japanese = GetDialogTemplate(id, Language::Japanese);
        SCOPED_TRACE(english.name);
        ASSERT_FALSE(english.controls.empty());
        ASSERT_EQ(english.controls.size(), japanese.controls.size());
        EXPECT_EQ(english.strings.size(), japanese.strings.size());
        std::set<int> ids;
        for (size_t i = 0; i < english.controls.size(); ++i) {
            const ControlTemplate &a = english.controls[i];
            const ControlTemplate &b = japanese.controls[i];
            EXPECT_EQ(a.id, b.id);
            EXPECT_EQ(a.kind, b.kind);
            EXPECT_EQ(std::make_tuple(a.x, a.y, a.width, a.height),
                      std::make_tuple(b.x, b.y, b.width, b.height));
            EXPECT_LE(a.x + a.width, english.width) << a.id;
            EXPECT_LE(a.y + a.height, english.height) << a.id;
            if (a.id != kUnaddressedControl) {
                EXPECT_TRUE(ids.insert(a.id).second) << a.id;
            }
            if (a.kind == ControlKind::Spin) {
                EXPECT_NE(english.Find(a.buddy), nullptr) << a.id;
            }
        }
        EXPECT_NE(english.font.face, japanese.font.face);
    }
}

// The identifiers and captions the logic and the documentation rely on.
TEST(DialogsTemplate, ControlsCarryTheirIdsAndCaptions) {
    struct Expected {
        TemplateId id;
        int control;
        ControlKind kind;
        const char *caption;
    };
    const Expected cases[] = {
        {TemplateId::Camera, 1001, ControlKind::Tab, ""},
        {TemplateId::Camera, 1009, ControlKind::DropDownList, ""},
        {TemplateId::Camera, 1044, ControlKind::Edit, ""},
        {TemplateId::Camera, 1002, ControlKind::PushButton, "Apply(&A)"},
        {TemplateId::ImageFrame, 3, ControlKind::PushButton, "Default(&D)"},
        {TemplateId::ImageFilterPage, 2063, ControlKind::Spin, ""},
        {TemplateId::ImageFilterPage, 1035, ControlKind::CheckBox, "All frames"},
        {TemplateId::GrayFilterPage, 2123, ControlKind::Spin, ""},
        {TemplateId::GrayFilterPage, 1047, ControlKind::RadioButton, "Bayer convert"},
        {TemplateId::AnalogMonoPage, 2135, ControlKind::Static, "&Exposure"},
        {TemplateId::AnalogMonoPage, 2124, ControlKind::CheckBox, "Peltier"},
        {TemplateId::AnalogMonoPage, 1049, ControlKind::Static, "= msec"},
        {TemplateId::AnalogColorPage, 1024, ControlKind::Slider, ""},
        {TemplateId::AnalogColorPage, 1042, ControlKind::Spin, ""},
    };
    for (const Expected &expected : cases) {
        const ControlTemplate *control =
            GetDialogTemplate(expected.id, Language::English).Find(expected.control);
        ASSERT_NE(control, nullptr) << expected.control;
        EXPECT_EQ(control->kind, expected.kind) << expected.control;
        EXPECT_EQ(control->caption, expected.caption) << expected.control;
    }
    EXPECT_EQ(GetDialogTemplate(TemplateId::Camera, Language::Japanese).String("customSize"),
              "カスタム");
}

}  // namespace
}  // namespace korvix::dialogs
