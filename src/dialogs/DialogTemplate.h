#pragma once

// The dialog templates: what each settings dialog and each of its pages looks like, in an
// English and a Japanese version. The one source of truth is resources/dialogs/*.json; the
// build embeds those files in the library (a generated .cpp), so nothing is installed
// beside it, and every host (the scripted test host, the GTK module, a later Win32 build)
// is served from the same data.
//
// One file per template, both languages in it: identifiers, kinds, positions and styles are
// shared, only the texts differ. Its shape:
//
//   {
//     "name": "camera",                      the TemplateId's name (below)
//     "kind": "frame" | "page",              a frame is a modal dialog; a page is a child
//                                            dialog shown inside the frame's tab control
//     "font": {"en": {"face": "MS Shell Dlg", "pointSize": 8}, "ja": {...}},
//     "size": [width, height],               dialog units
//     "pageOrigin": [x, y],                  frames with pages: where a page's top-left
//                                            lies, in dialog units from the tab control's
//                                            top-left
//     "title": {"en": "...", "ja": "..."},   frames only
//     "strings": {"key": {"en": "...", "ja": "..."}, ...},   texts the logic puts into
//                                            controls (list entries, tab captions, messages)
//     "controls": [
//       {"id": 1009, "kind": "dropDownList", "rect": [x, y, width, height],
//        "caption": {"en": "...", "ja": "..."}, "style": ["default", ...], "buddy": 1015}
//     ]
//   }
//
// Dialog units are those of Win32 templates: horizontally a quarter of the font's average
// character width, vertically an eighth of its height. Ids are the control identifiers the
// logic addresses; -1 marks a control that is never addressed (labels, group boxes). A
// drop-down list's height is that of its open list. Texts are UTF-8; "&" marks the
// mnemonic of the next character ("&&" is a literal "&").
//
// The Win32 .rc (cmake/DialogResources.cmake): each template becomes one DIALOGEX resource
// per language named "<NAME>_EN" or "<NAME>_JA" (LANGUAGE LANG_ENGLISH / LANG_JAPANESE, the
// file in UTF-8 under #pragma code_page(65001)), with FONT from "font", CAPTION from
// "title", the frame style DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU and a page's
// style DS_CONTROL | WS_CHILD. Controls map one to one: tab "SysTabControl32" (owner-drawn),
// slider "msctls_trackbar32" (TBS_AUTOTICKS), spin "msctls_updown32" (UDS_SETBUDDYINT |
// UDS_NOTHOUSANDS | UDS_ARROWKEYS, left where the template puts it; the host makes "buddy"
// its buddy), edit (ES_AUTOHSCROLL, "number" adds ES_NUMBER), dropDownList CBS_DROPDOWNLIST |
// WS_VSCROLL, checkBox BS_AUTOCHECKBOX, radioButton BS_AUTORADIOBUTTON, pushButton
// BS_PUSHBUTTON ("default": BS_DEFPUSHBUTTON), groupBox BS_GROUPBOX, static SS_LEFT;
// "hidden" clears WS_VISIBLE, "disabled" adds WS_DISABLED, "group" adds WS_GROUP. The
// "strings" stay in the embedded templates, where the logic reads them.

#include <map>
#include <string>
#include <vector>

namespace korvix::dialogs {

enum class Language { English, Japanese };

// The templates of the three dialogs: their frames and pages.
enum class TemplateId {
    Camera,           // camera settings: one frame, its controls on the frame itself
    ImageFrame,       // image settings frame: tab control, OK, Cancel, Default
    ImageFilterPage,  // image filter page
    GrayFilterPage,   // gray filter page (monochrome colour modes only)
    AnalogFrame,      // analog settings frame: tab control, OK, Cancel, Default
    AnalogMonoPage,   // analog page of cameras without colour output
    AnalogColorPage,  // analog page of cameras with colour output
};

enum class ControlKind {
    Tab,
    Slider,
    Spin,
    Edit,
    DropDownList,
    CheckBox,
    RadioButton,
    PushButton,
    GroupBox,
    Static,
};

// A control never addressed by the logic.
inline constexpr int kUnaddressedControl = -1;

struct ControlTemplate {
    int id = kUnaddressedControl;
    ControlKind kind = ControlKind::Static;
    std::string caption;                      // in the template's language; may be empty
    int x = 0, y = 0, width = 0, height = 0;  // dialog units, from the dialog's top-left
    bool hidden = false;                      // not shown until the logic shows it
    bool disabled = false;                    // disabled until the logic enables it
    bool defaultButton = false;               // the button Enter presses
    bool groupStart = false;                  // first of a group of radio buttons
    bool numbersOnly = false;                 // an edit that accepts digits only
    int buddy = kUnaddressedControl;          // a spin control's edit
};

struct FontTemplate {
    std::string face;
    int pointSize = 8;
};

struct DialogTemplate {
    TemplateId id = TemplateId::Camera;
    std::string name;
    bool isPage = false;
    Language language = Language::English;
    std::string title;  // frames only
    FontTemplate font;
    int width = 0, height = 0;             // dialog units
    int pageOriginX = 0, pageOriginY = 0;  // frames with pages, from the tab control
    std::vector<ControlTemplate> controls;
    std::map<std::string, std::string> strings;

    // The control with this id; null when the template has none.
    const ControlTemplate *Find(int controlId) const;
    // A text of the string table; empty when the key is unknown.
    const std::string &String(const std::string &key) const;
};

// The template in one language. Parsed from the embedded data on first use (thread-safe)
// and kept for the life of the process, so the reference stays valid. The embedded data is
// checked by the tests; should it ever fail to parse, the template comes back empty and the
// dialog shows no controls rather than the process failing.
const DialogTemplate &GetDialogTemplate(TemplateId id, Language language);

// The language dialogs are shown in. Linux: Japanese when LC_ALL, LC_MESSAGES or LANG (the
// first that is set and not empty) begins with "ja" (LocaleLanguage.cpp). Windows: Japanese
// when the system default language is Japanese (win32/SystemLanguage.cpp). Else English.
Language LanguageOfLocale();

}  // namespace korvix::dialogs
