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
#   editors/core  the Qt-free core of the editors (layout, key, label, macro
#              and cycle editing): below the windows that sit on it
#   editors    the editor windows
#   app, tools the program, the command line and the generators
#
# A file may include its own folder and any folder of a lower layer. A file at
# the top level of a core folder (base, platform, image, formats, net, link,
# editors/core: the folders of orvalink_core) includes only top-level headers
# and editors/core, never a subfolder such as platform/linux or link/qt.
# Includes of other folders (tests/, system headers) are not judged here.
#
# editors/core is a layer of its own, though it lies inside editors/: its files
# are judged as editors/core, and an include of "editors/core/..." reaches
# editors/core, any other "editors/..." the windows.
cmake_policy(VERSION 3.25)
set(layer_names base platform image formats net link editors app tools)
set(rank_base 0)
set(rank_platform 1)
set(rank_image 2)
set(rank_formats 3)
set(rank_net 4)
set(rank_link 5)
set(rank_editors/core 6)
set(rank_editors 7)
set(rank_app 8)
set(rank_tools 8)
set(core_folders base platform image formats link net editors/core)

# The layer a path (relative to SOURCE_DIR, or as an include names it) lies in.
function(layer_of path out)
  if(path MATCHES "^editors/core/")
    set(${out} editors/core PARENT_SCOPE)
  else()
    string(REGEX REPLACE "/.*$" "" first "${path}")
    set(${out} ${first} PARENT_SCOPE)
  endif()
endfunction()

set(found "")
foreach(layer IN LISTS layer_names)
  if(NOT IS_DIRECTORY ${SOURCE_DIR}/${layer})
    continue()
  endif()
  file(GLOB_RECURSE files ${SOURCE_DIR}/${layer}/*.cpp ${SOURCE_DIR}/${layer}/*.h)
  foreach(f IN LISTS files)
    file(RELATIVE_PATH rel ${SOURCE_DIR} ${f})
    layer_of("${rel}" own)
    # The file's place inside its layer's folder: top level or a subfolder.
    string(LENGTH "${own}/" own_length)
    string(SUBSTRING "${rel}" ${own_length} -1 inside)
    set(top_level_core FALSE)
    if(NOT inside MATCHES "/" AND own IN_LIST core_folders)
      set(top_level_core TRUE)
    endif()
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/[^\"]*\"")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" included "${line}")
      layer_of("${included}" target)
      if(NOT DEFINED rank_${target})
        continue()
      endif()
      set(wrong FALSE)
      if(NOT target STREQUAL own AND NOT rank_${target} LESS rank_${own})
        set(wrong "a layer above or beside ${own}/")
      elseif(top_level_core AND NOT included MATCHES "^[^/]+/[^/]+$" AND NOT included MATCHES "^editors/core/[^/]+$")
        set(wrong "a subfolder, which ${own}/ (part of orvalink_core) must not need")
      endif()
      if(wrong)
        list(APPEND found "${rel}: #include \"${included}\" reaches ${wrong}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n  " msg)
  message(FATAL_ERROR "Layers point down (base < platform < image < formats < net < link < editors/core < editors < app, tools):\n  ${msg}")
endif()
