# Resource-only Windows DLLs (model.dll, dev_model.dll) built from resource
# scripts with the MinGW binutils, on any host:
#
#   windres   compiles the script into a COFF object (the data files the script
#             names are looked up beside the script and in INCLUDE_DIRS);
#   ld        links it into a DLL with no code and no entry point;
#   objcopy   (PE32 only) rewrites the 64-bit image as a 32-bit one.
#
# There is no MinGW C compiler on the build machines, so windres runs the
# host's C preprocessor in C mode. Link and conversion write a zero time stamp,
# so the same inputs always give the same bytes.
#
# On Debian and Ubuntu the tools come with binutils-mingw-w64-x86-64.
#
#   orvalink_add_resource_dll(<name> <rcfile>
#       OUTPUT_DIR <dir>            where <name>.dll goes
#       [DEPENDS <file>...]         inputs made by the build (generated data)
#       [INCLUDE_DIRS <dir>...]     more folders searched for the data files
#       [PE32])                     a 32-bit image instead of a 64-bit one
#
# Makes the target orvalink_<name>_dll, built by default; its property
# ORVALINK_DLL_FILE holds the path of the DLL. Besides DEPENDS, every data file
# the script names that exists when CMake runs is a dependency, and editing the
# script runs CMake again.
include_guard(GLOBAL)

if(WIN32)
  set(_orvalink_windres_names x86_64-w64-mingw32-windres windres)
  set(_orvalink_ld_names x86_64-w64-mingw32-ld ld)
  set(_orvalink_objcopy_names x86_64-w64-mingw32-objcopy objcopy)
else()
  # Never the host's own ld or objcopy: they make ELF files.
  set(_orvalink_windres_names x86_64-w64-mingw32-windres)
  set(_orvalink_ld_names x86_64-w64-mingw32-ld)
  set(_orvalink_objcopy_names x86_64-w64-mingw32-objcopy)
endif()
find_program(ORVALINK_WINDRES NAMES ${_orvalink_windres_names}
             DOC "MinGW resource compiler (package binutils-mingw-w64-x86-64)")
find_program(ORVALINK_MINGW_LD NAMES ${_orvalink_ld_names}
             DOC "MinGW linker (package binutils-mingw-w64-x86-64)")
find_program(ORVALINK_MINGW_OBJCOPY NAMES ${_orvalink_objcopy_names}
             DOC "MinGW objcopy (package binutils-mingw-w64-x86-64)")
find_program(ORVALINK_RC_PREPROCESSOR NAMES x86_64-w64-mingw32-cpp cpp
             DOC "C preprocessor that windres runs on resource scripts")

function(orvalink_add_resource_dll name rcfile)
  cmake_parse_arguments(PARSE_ARGV 2 arg "PE32" "OUTPUT_DIR" "DEPENDS;INCLUDE_DIRS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "orvalink_add_resource_dll(${name}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_OUTPUT_DIR)
    message(FATAL_ERROR "orvalink_add_resource_dll(${name}): OUTPUT_DIR is required")
  endif()
  foreach(tool ORVALINK_WINDRES ORVALINK_MINGW_LD ORVALINK_RC_PREPROCESSOR)
    if(NOT ${tool})
      message(FATAL_ERROR "Building ${name}.dll needs the MinGW binutils and a C preprocessor: "
                          "install binutils-mingw-w64-x86-64 (and cpp), or set ${tool}.")
    endif()
  endforeach()
  if(arg_PE32 AND NOT ORVALINK_MINGW_OBJCOPY)
    message(FATAL_ERROR "Building the 32-bit ${name}.dll needs x86_64-w64-mingw32-objcopy "
                        "(package binutils-mingw-w64-x86-64).")
  endif()

  get_filename_component(rcfile "${rcfile}" ABSOLUTE)
  get_filename_component(rcdir "${rcfile}" DIRECTORY)
  set(search_dirs "${rcdir}")
  foreach(dir IN LISTS arg_INCLUDE_DIRS)
    get_filename_component(dir "${dir}" ABSOLUTE)
    list(APPEND search_dirs "${dir}")
  endforeach()

  # The data files the script names: every quoted text of a line that is not
  # a comment and that names an existing file in one of the search folders.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${rcfile}")
  file(STRINGS "${rcfile}" rc_lines REGEX "\"")
  set(data_files)
  foreach(line IN LISTS rc_lines)
    if(line MATCHES "^[ \t]*(//|/\\*|#)")
      continue()
    endif()
    string(REGEX MATCHALL "\"[^\"]+\"" quoted "${line}")
    foreach(q IN LISTS quoted)
      string(REGEX REPLACE "^\"(.*)\"$" "\\1" candidate "${q}")
      foreach(dir IN LISTS search_dirs)
        if(EXISTS "${dir}/${candidate}" AND NOT IS_DIRECTORY "${dir}/${candidate}")
          list(APPEND data_files "${dir}/${candidate}")
          break()
        endif()
      endforeach()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES data_files)

  set(work "${CMAKE_CURRENT_BINARY_DIR}/resource-dlls")
  set(object "${work}/${name}.res.o")
  set(dll "${arg_OUTPUT_DIR}/${name}.dll")
  set(include_args)
  foreach(dir IN LISTS search_dirs)
    list(APPEND include_args "--include-dir=${dir}")
  endforeach()

  add_custom_command(
    OUTPUT "${object}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${work}"
    COMMAND "${ORVALINK_WINDRES}"
            "--preprocessor=${ORVALINK_RC_PREPROCESSOR}"
            --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED
            ${include_args}
            --input-format=rc --output-format=coff
            -i "${rcfile}" -o "${object}"
    DEPENDS "${rcfile}" ${data_files} ${arg_DEPENDS}
    WORKING_DIRECTORY "${rcdir}"
    COMMENT "Compiling the resources of ${name}.dll"
    VERBATIM)

  set(link_commands
    COMMAND ${CMAKE_COMMAND} -E make_directory "${arg_OUTPUT_DIR}"
    COMMAND "${ORVALINK_MINGW_LD}" --dll -e 0 --subsystem windows -s --no-insert-timestamp
            -o "${dll}" "${object}")
  if(arg_PE32)
    list(APPEND link_commands
      COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
              "${ORVALINK_MINGW_OBJCOPY}" -O pei-i386 "${dll}")
  endif()
  add_custom_command(
    OUTPUT "${dll}"
    ${link_commands}
    DEPENDS "${object}"
    COMMENT "Linking the resource library ${name}.dll"
    VERBATIM)

  add_custom_target(orvalink_${name}_dll ALL DEPENDS "${dll}")
  set_target_properties(orvalink_${name}_dll PROPERTIES ORVALINK_DLL_FILE "${dll}")
endfunction()
