#include "dialogs/DialogTemplate.h"

#include <array>
#include <cstring>
#include <mutex>
#include <nlohmann/json.hpp>

#include "dialogs/DialogTemplateData.h"

namespace korvix::dialogs {

namespace {

using nlohmann::json;

constexpr int kTemplateCount = 7;
constexpr int kLanguageCount = 2;

// File base names, indexed by TemplateId.
constexpr std::array<const char *, kTemplateCount> kFileNames = {
    "camera",       "image_frame",      "image_filter_page", "gray_filter_page",
    "analog_frame", "analog_mono_page", "analog_color_page",
};

const char *LanguageKey(Language language) {
    return language == Language::Japanese ? "ja" : "en";
}

ControlKind ParseKind(const std::string &kind) {
    static const std::map<std::string, ControlKind> kinds = {
        {"tab", ControlKind::Tab},
        {"slider", ControlKind::Slider},
        {"spin", ControlKind::Spin},
        {"edit", ControlKind::Edit},
        {"dropDownList", ControlKind::DropDownList},
        {"checkBox", ControlKind::CheckBox},
        {"radioButton", ControlKind::RadioButton},
        {"pushButton", ControlKind::PushButton},
        {"groupBox", ControlKind::GroupBox},
        {"static", ControlKind::Static},
    };
    auto found = kinds.find(kind);
    if (found == kinds.end()) throw std::invalid_argument("unknown control kind " + kind);
    return found->second;
}

// A {"en": ..., "ja": ...} text in one language; empty when absent.
std::string Text(const json &object, const char *key, Language language) {
    auto texts = object.find(key);
    if (texts == object.end()) return {};
    return texts->at(LanguageKey(language)).get<std::string>();
}

ControlTemplate ParseControl(const json &item, Language language) {
    ControlTemplate control;
    control.id = item.at("id").get<int>();
    control.kind = ParseKind(item.at("kind").get<std::string>());
    control.caption = Text(item, "caption", language);
    const json &rect = item.at("rect");
    control.x = rect.at(0).get<int>();
    control.y = rect.at(1).get<int>();
    control.width = rect.at(2).get<int>();
    control.height = rect.at(3).get<int>();
    if (auto styles = item.find("style"); styles != item.end()) {
        for (const json &style : *styles) {
            const std::string name = style.get<std::string>();
            if (name == "hidden") {
                control.hidden = true;
            } else if (name == "disabled") {
                control.disabled = true;
            } else if (name == "default") {
                control.defaultButton = true;
            } else if (name == "group") {
                control.groupStart = true;
            } else if (name == "number") {
                control.numbersOnly = true;
            } else {
                throw std::invalid_argument("unknown style " + name);
            }
        }
    }
    control.buddy = item.value("buddy", kUnaddressedControl);
    return control;
}

DialogTemplate Parse(TemplateId id, const char *text, Language language) {
    const json file = json::parse(text);
    DialogTemplate result;
    result.id = id;
    result.name = file.at("name").get<std::string>();
    result.isPage = file.at("kind").get<std::string>() == "page";
    result.language = language;
    result.title = Text(file, "title", language);
    const json &font = file.at("font").at(LanguageKey(language));
    result.font.face = font.at("face").get<std::string>();
    result.font.pointSize = font.at("pointSize").get<int>();
    result.width = file.at("size").at(0).get<int>();
    result.height = file.at("size").at(1).get<int>();
    if (auto origin = file.find("pageOrigin"); origin != file.end()) {
        result.pageOriginX = origin->at(0).get<int>();
        result.pageOriginY = origin->at(1).get<int>();
    }
    if (auto strings = file.find("strings"); strings != file.end()) {
        for (const auto &[key, texts] : strings->items()) {
            result.strings[key] = texts.at(LanguageKey(language)).get<std::string>();
        }
    }
    for (const json &item : file.at("controls"))
        result.controls.push_back(ParseControl(item, language));
    return result;
}

const char *EmbeddedText(TemplateId id) {
    const char *name = kFileNames[static_cast<int>(id)];
    for (int i = 0; i < detail::kEmbeddedTemplateCount; ++i) {
        if (std::strcmp(detail::kEmbeddedTemplates[i].name, name) == 0) {
            return detail::kEmbeddedTemplates[i].json;
        }
    }
    return nullptr;
}

struct TemplateTable {
    std::array<std::array<DialogTemplate, kLanguageCount>, kTemplateCount> templates;
};

const TemplateTable &Templates() {
    static const TemplateTable table = [] {
        TemplateTable built;
        for (int index = 0; index < kTemplateCount; ++index) {
            const auto id = static_cast<TemplateId>(index);
            for (Language language : {Language::English, Language::Japanese}) {
                DialogTemplate &slot = built.templates[index][static_cast<int>(language)];
                slot.id = id;
                slot.language = language;
                const char *text = EmbeddedText(id);
                if (text == nullptr) continue;
                try {
                    slot = Parse(id, text, language);
                } catch (const std::exception &) {
                    // Left empty: see GetDialogTemplate.
                }
            }
        }
        return built;
    }();
    return table;
}

}  // namespace

const ControlTemplate *DialogTemplate::Find(int controlId) const {
    for (const ControlTemplate &control : controls) {
        if (control.id == controlId) return &control;
    }
    return nullptr;
}

const std::string &DialogTemplate::String(const std::string &key) const {
    static const std::string empty;
    auto found = strings.find(key);
    return found == strings.end() ? empty : found->second;
}

const DialogTemplate &GetDialogTemplate(TemplateId id, Language language) {
    return Templates().templates[static_cast<int>(id)][static_cast<int>(language)];
}

}  // namespace korvix::dialogs
