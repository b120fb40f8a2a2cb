# One interface target that every Lumivale target links: language level,
# warnings and the optional sanitizers.
add_library(lumivale_options INTERFACE)
target_compile_features(lumivale_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(lumivale_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Wcast-align -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough)
target_compile_definitions(lumivale_options INTERFACE
  LUMIVALE_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  LUMIVALE_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  LUMIVALE_VERSION_REVISION=${PROJECT_VERSION_TWEAK})
target_include_directories(lumivale_options INTERFACE ${PROJECT_SOURCE_DIR}/src)
if(LUMIVALE_WERROR)
  target_compile_options(lumivale_options INTERFACE -Werror)
endif()
if(LUMIVALE_SANITIZE)
  target_compile_options(lumivale_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(lumivale_options INTERFACE -fsanitize=address,undefined)
endif()

# Adds one static library for a subsystem folder.
function(lumivale_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC lumivale_options ${ARG_LINKS})
endfunction()
