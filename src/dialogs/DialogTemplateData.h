#pragma once

// The template files as the build embeds them (generated .cpp; see DialogTemplate.h).

namespace korvix::dialogs::detail {

struct EmbeddedTemplate {
    const char *name;  // the file's base name, e.g. "camera"
    const char *json;  // its UTF-8 text
};

extern const EmbeddedTemplate kEmbeddedTemplates[];
extern const int kEmbeddedTemplateCount;

}  // namespace korvix::dialogs::detail
