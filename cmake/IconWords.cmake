# The words of the remote's icons, for the texts a person reads (the layout
# editor's key list, screen readers): compiled into a target from the icon
# set the factory document is made of (assets/icons.txt), so the two cannot
# drift. An icon of words ("icon d1 text big 1") reads as its words ("1"),
# a picture icon as its name with blanks for dashes ("vol-up": "vol up").
function(orvalink_icon_words target asset)
  file(STRINGS ${asset} lines REGEX "^icon[ \t]")
  set(entries "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    string(REGEX REPLACE "[ \t]+" ";" words "${line}")
    list(GET words 1 name)
    list(LENGTH words count)
    set(text "")
    if(count GREATER 3)
      list(GET words 2 kind)
      if(kind STREQUAL "text")
        list(SUBLIST words 3 -1 rest)
        list(GET rest 0 first)
        while(first STREQUAL "big" OR first STREQUAL "box")
          list(REMOVE_AT rest 0)
          list(GET rest 0 first)
        endwhile()
        list(JOIN rest " " text)
      endif()
    endif()
    if(text STREQUAL "")
      string(REPLACE "-" " " text "${name}")
    endif()
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "\"" "\\\"" text "${text}")
    string(APPEND entries "    \"${text}\",\n")
  endforeach()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/generated/IconWordTable.cpp)
  file(CONFIGURE OUTPUT ${out} CONTENT
"// Generated from ${asset}.
#include <span>
namespace orvalink {
namespace { const char* const kWords[] = {
@entries@}; }
std::span<const char* const> IconWordTable() { return kWords; }
}  // namespace orvalink
" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${asset})
  target_sources(${target} PRIVATE ${out})
endfunction()
