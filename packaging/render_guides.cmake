# Renders doc/admin-guide.md and doc/user-guide.md to OUTPUT_DIR/admin/index.html and
# OUTPUT_DIR/user/index.html with cmark, and copies beside each the pictures it shows from the
# folder scripts/screenshots fills (SHOTS). A picture not made yet is named, not fatal: a
# developer's build needs no display.
foreach(guide admin user)
  set(source ${SOURCE_DIR}/${guide}-guide.md)
  set(folder ${OUTPUT_DIR}/${guide})
  file(MAKE_DIRECTORY ${folder})
  file(READ ${source} markdown)
  string(REGEX MATCH "^# ([^\n]*)" heading "${markdown}")
  set(title "${CMAKE_MATCH_1}")
  if(CMARK)
    # --unsafe keeps the guides' own anchors (<a id=...>), which the programs link to.
    execute_process(COMMAND ${CMARK} --unsafe --to html ${source} OUTPUT_VARIABLE body
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "cmark could not render ${source}")
    endif()
  else()
    message(STATUS "cmark is missing: ${guide} guide written as plain text")
    string(REPLACE "&" "&amp;" body "${markdown}")
    string(REPLACE "<" "&lt;" body "${body}")
    set(body "<pre>${body}</pre>")
  endif()
  file(READ ${SOURCE_DIR}/guide.css style)
  file(WRITE ${folder}/index.html.new
"<!DOCTYPE html>
<html lang=\"en\">
<head>
<meta charset=\"utf-8\">
<title>${title}</title>
<style>
${style}</style>
</head>
<body>
${body}<footer>ZELT ${VERSION}</footer>
</body>
</html>
")
  # Written only when it changed, so that a build that changed nothing repackages nothing.
  file(COPY_FILE ${folder}/index.html.new ${folder}/index.html ONLY_IF_DIFFERENT)
  file(REMOVE ${folder}/index.html.new)

  string(REGEX MATCHALL "(server|client|shared)/[A-Za-z0-9_@.-]+\\.png" pictures "${markdown}")
  foreach(picture IN LISTS pictures)
    if(EXISTS ${SHOTS}/${picture})
      get_filename_component(dir ${folder}/${picture} DIRECTORY)
      file(MAKE_DIRECTORY ${dir})
      file(COPY_FILE ${SHOTS}/${picture} ${folder}/${picture} ONLY_IF_DIFFERENT)
    else()
      message(STATUS "${guide} guide: ${picture} not made yet (scripts/screenshots makes it)")
    endif()
  endforeach()
endforeach()
