# Doxygen input filter of the public header, whose comments are plain C comments: a comment
# opening a line documents the declaration below it, a comment after a member or macro
# documents that one. Section rulers ("/* ---- Name ---- */") stay plain comments.
s#^([[:space:]]*)/\* ([^-])#\1/** \2#
s#([^[:space:]/][[:space:]]+)/\* #\1/**< #
