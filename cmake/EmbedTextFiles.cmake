# cmake -DOUTPUT=<file.cpp> -DINPUTS=<a.json|b.json> -P EmbedTextFiles.cmake
# Writes a C++ source that holds each input file's text as a raw string literal, named by
# the file's base name: korvix::dialogs::detail::kEmbeddedTemplates.
string(REPLACE "|" ";" INPUTS "${INPUTS}")
set(body "")
foreach(input IN LISTS INPUTS)
  file(READ ${input} text)
  get_filename_component(name ${input} NAME_WE)
  string(FIND "${text}" ")korvix\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${input} contains the raw-string delimiter )korvix\"")
  endif()
  string(APPEND body "    {\"${name}\", R\"korvix(${text})korvix\"},\n")
endforeach()
file(WRITE ${OUTPUT}.tmp
"// Generated from resources/dialogs/*.json by cmake/EmbedTextFiles.cmake; do not edit.
#include \"dialogs/DialogTemplateData.h\"

namespace korvix::dialogs::detail {

const EmbeddedTemplate kEmbeddedTemplates[] = {
${body}};
const int kEmbeddedTemplateCount = sizeof kEmbeddedTemplates / sizeof kEmbeddedTemplates[0];

}  // namespace korvix::dialogs::detail
")
# Only a changed text touches the output, so an unchanged template rebuilds nothing.
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
