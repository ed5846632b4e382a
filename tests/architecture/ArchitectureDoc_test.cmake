# ARCHITECTURE.md names only files and folders that exist, and has a paragraph for every
# layer of src/layers.txt.
#
#   cmake -DSOURCE_DIR=<repository> -P ArchitectureDoc_test.cmake
# A name with a folder must exist from the repository's top or from src/; a bare file
# name must be some file's name under src/, tests/, bench/, cmake/ or scripts/.

cmake_minimum_required(VERSION 3.25)
include(${SOURCE_DIR}/cmake/TwinsiftLayers.cmake)
twinsift_read_layers(${SOURCE_DIR}/src/layers.txt)
file(READ "${SOURCE_DIR}/ARCHITECTURE.md" text)

file(GLOB_RECURSE tree RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/src/*" "${SOURCE_DIR}/tests/*"
  "${SOURCE_DIR}/bench/*" "${SOURCE_DIR}/cmake/*" "${SOURCE_DIR}/scripts/*")
set(names "")
foreach(path IN LISTS tree)
  get_filename_component(name "${path}" NAME)
  list(APPEND names "${name}")
endforeach()

string(REGEX MATCHALL "[A-Za-z0-9_./-]+\\.(cpp|cmake|cc|c|hpp|h|txt|md|sh|py)" files "${text}")
string(REGEX MATCHALL "[A-Za-z0-9_.-]+(/[A-Za-z0-9_.-]+)*/" folders "${text}")
list(REMOVE_DUPLICATES files)
list(REMOVE_DUPLICATES folders)
list(LENGTH files count)
if(count LESS 20)
  message(FATAL_ERROR "ARCHITECTURE.md names only ${count} files: the test would prove little")
endif()

set(missing "")
foreach(file IN LISTS files)
  if(file MATCHES "/")
    if(NOT EXISTS "${SOURCE_DIR}/${file}" AND NOT EXISTS "${SOURCE_DIR}/src/${file}")
      list(APPEND missing "${file}")
    endif()
  elseif(NOT file IN_LIST names AND NOT EXISTS "${SOURCE_DIR}/${file}")
    list(APPEND missing "${file}")
  endif()
endforeach()
foreach(folder IN LISTS folders)
  if(NOT IS_DIRECTORY "${SOURCE_DIR}/${folder}" AND NOT IS_DIRECTORY "${SOURCE_DIR}/src/${folder}")
    list(APPEND missing "${folder}")
  endif()
endforeach()
foreach(layer IN LISTS TWINSIFT_LAYERS)
  string(FIND "${text}" "**${layer}** (src/${layer}/)" at)
  if(at EQUAL -1)
    list(APPEND missing "a paragraph \"**${layer}** (src/${layer}/)\"")
  endif()
endforeach()

if(missing)
  list(JOIN missing "\n  " missing)
  message(FATAL_ERROR "ARCHITECTURE.md names what does not exist:\n  ${missing}")
endif()
