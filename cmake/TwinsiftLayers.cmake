# Reads src/layers.txt, the one place that says which layer may use which. Used by the
# build (src/CMakeLists.txt, tests/CMakeLists.txt) and by cmake/CheckLayers.cmake.
#
# twinsift_read_layers(<file>) sets, in the caller's scope:
#   TWINSIFT_LAYERS                 the layers, bottom first, as listed
#   TWINSIFT_LAYER_USES_<layer>     the layers it names
#   TWINSIFT_LAYER_REACHES_<layer>  what its files may include: itself, the layers it
#                                   names and everything those reach
#   TWINSIFT_PRIVATE_HEADERS        headers (src/-relative) only their own layer includes
# A malformed line, a layer listed twice, or a use of a layer not listed above is a fatal
# error naming the line.
function(twinsift_read_layers file)
  file(STRINGS "${file}" lines)
  set(layers "")
  set(private "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*$" "" line "${line}")
    string(STRIP "${line}" line)
    if(line STREQUAL "")
      continue()
    endif()
    if(NOT line MATCHES "^([a-z_]+):(.*)$")
      message(FATAL_ERROR "${file}: cannot read \"${line}\"; write \"layer: used layers\"")
    endif()
    set(name "${CMAKE_MATCH_1}")
    separate_arguments(items UNIX_COMMAND "${CMAKE_MATCH_2}")
    if(name STREQUAL "private")
      list(APPEND private ${items})
      continue()
    endif()
    if(name IN_LIST layers)
      message(FATAL_ERROR "${file}: layer \"${name}\" is listed twice")
    endif()
    set(reaches ${name})
    foreach(used IN LISTS items)
      if(NOT used IN_LIST layers)
        message(FATAL_ERROR "${file}: \"${name}\" uses \"${used}\", which is not listed above it")
      endif()
      list(APPEND reaches ${_reaches_${used}})
    endforeach()
    list(REMOVE_DUPLICATES reaches)
    set(_reaches_${name} ${reaches})
    set(TWINSIFT_LAYER_USES_${name} ${items} PARENT_SCOPE)
    set(TWINSIFT_LAYER_REACHES_${name} ${reaches} PARENT_SCOPE)
    list(APPEND layers ${name})
  endforeach()
  set(TWINSIFT_LAYERS ${layers} PARENT_SCOPE)
  set(TWINSIFT_PRIVATE_HEADERS ${private} PARENT_SCOPE)
endfunction()
