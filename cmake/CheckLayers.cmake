# Checks that every #include in src/ keeps to the layers of src/layers.txt.
#
#   cmake -DSOURCE_DIR=<repository> -P cmake/CheckLayers.cmake
#       Exits non-zero and prints one line per fault: a header of a layer the file's own
#       layer may not use, another layer's private header, a header named by its bare
#       name ("TWFileUtility.h" instead of "files/TWFileUtility.h"), a layered name that
#       names no header (the header moved), or a folder of src/ that is not a layer.
#   cmake -DSOURCE_DIR=<repository> -DFIX=ON -P cmake/CheckLayers.cmake
#       First rewrites, in src/, tests/ and bench/, every include of a header of src/ by
#       its bare or outdated name into its layered name (a test's own header beside it is
#       left alone), lists the files it changed (run clang-format on them: the order of
#       the includes may change), then checks.
#
# The build runs the check before it compiles the core (src/CMakeLists.txt); CTest runs it
# on the tree and on planted faults (tests/architecture/).

cmake_minimum_required(VERSION 3.25)
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<repository> [-DFIX=ON] -P ${CMAKE_CURRENT_LIST_FILE}")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/TwinsiftLayers.cmake)
set(src "${SOURCE_DIR}/src")
twinsift_read_layers("${src}/layers.txt")

set(kSourceGlobs *.h *.hpp *.c *.cc *.cpp)
set(kIncludeLine "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")

# Every header of src/ by its name: _where_<name> is the list of src/-relative paths.
file(GLOB_RECURSE headers RELATIVE "${src}" "${src}/*.h" "${src}/*.hpp")
foreach(header IN LISTS headers)
  get_filename_component(name "${header}" NAME)
  list(APPEND "_where_${name}" "${header}")
endforeach()

# The layered spelling of include `name` in `file` (repository-relative), or "" when the
# include is not one of a header of src/ or is spelled right already.
function(layered_name file name out)
  set(${out} "" PARENT_SCOPE)
  get_filename_component(base "${name}" NAME)
  if(NOT DEFINED "_where_${base}" OR name IN_LIST "_where_${base}")
    return()
  endif()
  get_filename_component(here "${SOURCE_DIR}/${file}" DIRECTORY)
  if(NOT file MATCHES "^src/" AND NOT name MATCHES "/" AND EXISTS "${here}/${name}")
    return()  # a test's or benchmark's own header
  endif()
  set(candidates ${_where_${base}})
  list(LENGTH candidates count)
  if(count GREATER 1)
    string(REGEX MATCH "^src/[^/]+" own "${file}")
    string(REGEX REPLACE "^src/" "" own "${own}")
    list(FILTER candidates INCLUDE REGEX "^${own}/")
    list(LENGTH candidates count)
    if(NOT count EQUAL 1)
      return()  # ambiguous: the check reports it, a person decides
    endif()
  endif()
  set(${out} "${candidates}" PARENT_SCOPE)
endfunction()

# --- the rewriting mode ---
if(FIX)
  set(fixed "")
  foreach(root src tests bench)
    file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" LIST_DIRECTORIES false "${SOURCE_DIR}/${root}/*.h"
      "${SOURCE_DIR}/${root}/*.hpp" "${SOURCE_DIR}/${root}/*.c" "${SOURCE_DIR}/${root}/*.cc" "${SOURCE_DIR}/${root}/*.cpp")
    foreach(file IN LISTS files)
      file(STRINGS "${SOURCE_DIR}/${file}" lines REGEX "${kIncludeLine}")
      set(replacements "")
      foreach(line IN LISTS lines)
        string(REGEX MATCH "${kIncludeLine}" _ "${line}")
        layered_name("${file}" "${CMAKE_MATCH_1}" new)
        if(new)
          string(REPLACE "\"${CMAKE_MATCH_1}\"" "\"${new}\"" newline "${line}")
          list(APPEND replacements "${line}" "${newline}")
        endif()
      endforeach()
      if(replacements)
        file(READ "${SOURCE_DIR}/${file}" content)
        while(replacements)
          list(POP_FRONT replacements old new)
          string(REPLACE "${old}" "${new}" content "${content}")
        endwhile()
        file(WRITE "${SOURCE_DIR}/${file}" "${content}")
        list(APPEND fixed "${file}")
      endif()
    endforeach()
  endforeach()
  if(fixed)
    list(JOIN fixed "\n  " fixed)
    message(STATUS "Includes rewritten to name their layer (run clang-format on these):\n  ${fixed}")
  endif()
endif()

# --- the check ---
set(faults "")
file(GLOB_RECURSE sources RELATIVE "${src}" LIST_DIRECTORIES false
  "${src}/*.h" "${src}/*.hpp" "${src}/*.c" "${src}/*.cc" "${src}/*.cpp")
foreach(source IN LISTS sources)
  if(NOT source MATCHES "^([^/]+)/")
    continue()  # a file at the top of src/ belongs to no layer
  endif()
  set(layer "${CMAKE_MATCH_1}")
  if(NOT layer IN_LIST TWINSIFT_LAYERS)
    list(APPEND faults "src/${source}: src/${layer}/ is not a layer of src/layers.txt: add it there with the layers it uses")
    continue()
  endif()
  set(allowed ${TWINSIFT_LAYER_REACHES_${layer}})
  list(JOIN allowed ", " allowed_text)
  file(STRINGS "${src}/${source}" lines REGEX "${kIncludeLine}")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "${kIncludeLine}" _ "${line}")
    set(name "${CMAKE_MATCH_1}")
    get_filename_component(base "${name}" NAME)
    string(REPLACE ";" ", " where "${_where_${base}}")
    if(NOT name MATCHES "^([^/]+)/")
      if(DEFINED "_where_${base}")
        layered_name("src/${source}" "${name}" new)
        if(new)
          list(APPEND faults "src/${source}: #include \"${name}\" names no layer: write #include \"${new}\"")
        else()
          list(APPEND faults "src/${source}: #include \"${name}\" names no layer, and several layers have one: ${where}")
        endif()
      endif()
      continue()
    endif()
    set(target_layer "${CMAKE_MATCH_1}")
    if(NOT target_layer IN_LIST TWINSIFT_LAYERS)
      continue()  # not a header of src/ ("gio/gio.h" spelled with quotes, "../x.h")
    endif()
    if(NOT EXISTS "${src}/${name}")
      if(DEFINED "_where_${base}")
        list(APPEND faults "src/${source}: #include \"${name}\" names no header: it lives at ${where}")
      else()
        list(APPEND faults "src/${source}: #include \"${name}\" names no header of src/")
      endif()
      continue()
    endif()
    if(NOT target_layer IN_LIST allowed)
      list(APPEND faults "src/${source}: #include \"${name}\" reaches into layer ${target_layer}, but ${layer} may include only ${allowed_text} (src/layers.txt)")
    elseif(name IN_LIST TWINSIFT_PRIVATE_HEADERS AND NOT target_layer STREQUAL layer)
      list(APPEND faults "src/${source}: #include \"${name}\" is private to layer ${target_layer} (src/layers.txt)")
    endif()
  endforeach()
endforeach()

if(faults)
  list(LENGTH faults count)
  list(JOIN faults "\n" text)
  message("${text}")
  message(FATAL_ERROR "${count} include(s) break the layers of src/layers.txt. To rewrite bare or outdated "
    "names: cmake -DSOURCE_DIR=${SOURCE_DIR} -DFIX=ON -P ${CMAKE_CURRENT_LIST_FILE}")
endif()
