# Fails when a source file includes a header of a layer above its own.
# Called with -DSOURCE_DIR=... (the folder that holds base/, platform/, ...).
#
# The layers, from the bottom:
#
#   base       the shared low-level pieces
#   platform   the platform interfaces; platform/qt, platform/linux, ... their
#              implementations, platform/doubles the test doubles
#   image      the memory image; image/qt its drawing
#   formats    the files
#   net        the upgrade download over HTTP (files and platform only)
#   link       the link engine; link/qt its windows, link/sim the virtual remote
#   editors    the editor windows
#   app, tools the program, the command line and the generators
#
# A file may include its own folder and any folder of a lower layer. A file at
# the top level of a core folder (base, platform, image, formats, link: the
# folders of orvalink_core) includes only top-level headers, never a subfolder
# such as platform/linux or link/qt. Includes of other folders (tests/, system
# headers) are not judged here.
cmake_policy(VERSION 3.25)
set(layer_names base platform image formats net link editors app tools)
set(rank_base 0)
set(rank_platform 1)
set(rank_image 2)
set(rank_formats 3)
set(rank_net 4)
set(rank_link 5)
set(rank_editors 6)
set(rank_app 7)
set(rank_tools 7)
set(core_folders base platform image formats link net)

set(found "")
foreach(layer IN LISTS layer_names)
  if(NOT IS_DIRECTORY ${SOURCE_DIR}/${layer})
    continue()
  endif()
  file(GLOB_RECURSE files ${SOURCE_DIR}/${layer}/*.cpp ${SOURCE_DIR}/${layer}/*.h)
  foreach(f IN LISTS files)
    file(RELATIVE_PATH rel ${SOURCE_DIR} ${f})
    string(REGEX MATCHALL "/" slashes "${rel}")
    list(LENGTH slashes depth)
    set(top_level_core FALSE)
    if(depth EQUAL 1 AND layer IN_LIST core_folders)
      set(top_level_core TRUE)
    endif()
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/[^\"]*\"")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" included "${line}")
      string(REGEX REPLACE "/.*$" "" target "${included}")
      if(NOT DEFINED rank_${target})
        continue()
      endif()
      set(wrong FALSE)
      if(NOT target STREQUAL layer AND NOT rank_${target} LESS rank_${layer})
        set(wrong "a layer above or beside ${layer}/")
      elseif(top_level_core AND NOT included MATCHES "^[^/]+/[^/]+$")
        set(wrong "a subfolder, which ${layer}/ (part of orvalink_core) must not need")
      endif()
      if(wrong)
        list(APPEND found "${rel}: #include \"${included}\" reaches ${wrong}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n  " msg)
  message(FATAL_ERROR "Layers point down (base < platform < image < formats < link < editors < app, tools):\n  ${msg}")
endif()
