# Writes the dialog templates of a resource script as the C++ table that the
# toolkit backends build their dialogs from, so that the .rc stays the one
# place where ids, texts, styles, positions and sizes are written down.
#
#   cmake -DRC=veltrane.rc -DOUT=dialog_templates.cpp -P rc_templates.cmake
#
# It reads the subset of the resource language the program's .rc uses:
# DIALOG/DIALOGEX blocks with STYLE, EXSTYLE, CAPTION and FONT, and the
# controls DEFPUSHBUTTON, PUSHBUTTON, LTEXT, CTEXT and RTEXT. Anything else
# inside a dialog block stops the build, so that the table can never
# silently differ from what Windows shows.

if(NOT RC OR NOT OUT)
  message(FATAL_ERROR "usage: cmake -DRC=FILE.rc -DOUT=FILE.cpp -P rc_templates.cmake")
endif()

# Each control statement: its kind and the styles the resource compiler
# gives it by default.
set(kind_DEFPUSHBUTTON pushButton)
set(style_DEFPUSHBUTTON "WS_TABSTOP | BS_DEFPUSHBUTTON")
set(kind_PUSHBUTTON pushButton)
set(style_PUSHBUTTON "WS_TABSTOP | BS_PUSHBUTTON")
set(kind_LTEXT staticText)
set(style_LTEXT "SS_LEFT")
set(kind_CTEXT staticText)
set(style_CTEXT "SS_CENTER")
set(kind_RTEXT staticText)
set(style_RTEXT "SS_RIGHT")

file(STRINGS "${RC}" lines)

set(dialog "")        # id of the dialog being read, "" outside one
set(in_controls OFF)
set(dialog_rows "")
set(control_arrays "")
set(line_number 0)

function(fail text)
  message(FATAL_ERROR "${RC}:${line_number}: ${text}")
endfunction()

# "a, b , c" -> list a;b;c, with the quoted text (no commas in it) kept.
macro(split_fields text out)
  string(REPLACE "," ";" ${out} "${text}")
  set(_fields "")
  foreach(_f IN LISTS ${out})
    string(STRIP "${_f}" _f)
    list(APPEND _fields "${_f}")
  endforeach()
  set(${out} "${_fields}")
endmacro()

foreach(line IN LISTS lines)
  math(EXPR line_number "${line_number} + 1")
  string(STRIP "${line}" line)
  if(line STREQUAL "" OR line MATCHES "^//")
    continue()
  endif()

  if(dialog STREQUAL "")
    if(line MATCHES "^([A-Za-z_0-9]+)[ \t]+DIALOG(EX)?[ \t]+(.*)$")
      set(dialog "${CMAKE_MATCH_1}")
      split_fields("${CMAKE_MATCH_3}" box)
      list(LENGTH box n)
      if(NOT n EQUAL 4)
        fail("a dialog needs x, y, width, height")
      endif()
      list(GET box 2 cx)
      list(GET box 3 cy)
      set(style "0")
      set(exstyle "0")
      set(caption "")
      set(font_face "")
      set(font_points 0)
      set(controls "")
    endif()
    continue()
  endif()

  if(NOT in_controls)
    if(line MATCHES "^STYLE[ \t]+(.*)$")
      set(style "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^EXSTYLE[ \t]+(.*)$")
      set(exstyle "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^CAPTION[ \t]+(\"[^\"]*\")$")
      set(caption "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^FONT[ \t]+([0-9]+)[ \t]*,[ \t]*(\"[^\"]*\")")
      set(font_points "${CMAKE_MATCH_1}")
      set(font_face "${CMAKE_MATCH_2}")
    elseif(line STREQUAL "BEGIN")
      set(in_controls ON)
    else()
      fail("unexpected line in dialog ${dialog}: ${line}")
    endif()
    continue()
  endif()

  if(line STREQUAL "END")
    if(caption STREQUAL "" OR font_face STREQUAL "")
      fail("dialog ${dialog} needs a CAPTION and a FONT")
    endif()
    string(APPEND control_arrays
      "constexpr CControlTemplate kControls_${dialog}[] = {\n${controls}};\n\n")
    string(APPEND dialog_rows
      "    {${dialog}, ${caption}, ${style}, ${exstyle}, ${font_face}, "
      "${font_points}, ${cx}, ${cy}, kControls_${dialog}},\n")
    set(dialog "")
    set(in_controls OFF)
    continue()
  endif()

  if(NOT line MATCHES "^([A-Z]+)[ \t]+(\"[^\"]*\")[ \t]*,(.*)$")
    fail("unexpected control in dialog ${dialog}: ${line}")
  endif()
  set(statement "${CMAKE_MATCH_1}")
  set(text "${CMAKE_MATCH_2}")
  if(NOT DEFINED kind_${statement})
    fail("control statement ${statement} is not supported")
  endif()
  split_fields("${CMAKE_MATCH_3}" fields)
  list(LENGTH fields n)
  if(n LESS 5 OR n GREATER 6)
    fail("a control needs id, x, y, width, height and may add a style")
  endif()
  list(GET fields 0 id)
  list(GET fields 1 x)
  list(GET fields 2 y)
  list(GET fields 3 w)
  list(GET fields 4 h)
  set(control_style "${style_${statement}}")
  if(n EQUAL 6)
    list(GET fields 5 extra)
    string(APPEND control_style " | ${extra}")
  endif()
  string(APPEND controls
    "    {${id}, ControlKind::${kind_${statement}}, ${text}, ${control_style}, "
    "${x}, ${y}, ${w}, ${h}},\n")
endforeach()

if(NOT dialog STREQUAL "")
  fail("dialog ${dialog} has no END")
endif()
if(dialog_rows STREQUAL "")
  fail("no dialog found")
endif()

file(WRITE "${OUT}.tmp" "// Generated from res/veltrane.rc by res/rc_templates.cmake; edit the .rc.
#include \"platform/desktop/dialog_template.h\"
#include \"platform/dialogs.h\"
#include \"res/resource.h\"

namespace {

${control_arrays}constexpr CDialogTemplate kTemplates[] = {
${dialog_rows}};

}  // namespace

const CDialogTemplate* FindDialogTemplate(int id) {
  for (const CDialogTemplate& t : kTemplates) {
    if (t.id == id) return &t;
  }
  return nullptr;
}
")
# Rewritten only when it changes, so that an edit of the .rc elsewhere
# (the version block) recompiles nothing.
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
