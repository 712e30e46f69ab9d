# librnp for the SDK library, as the target tolv_librnp: the bundled source
# (third_party/rnp, patched and built static by scripts/build-librnp.sh), or
# with TOLV_SYSTEM_LIBRNP the system's shared librnp.
option(TOLV_SYSTEM_LIBRNP "Build against the system's librnp instead of the bundled one" OFF)

add_library(tolv_librnp INTERFACE)
if(TOLV_SYSTEM_LIBRNP)
  pkg_check_modules(RNP REQUIRED IMPORTED_TARGET librnp)
  target_link_libraries(tolv_librnp INTERFACE PkgConfig::RNP)
  # The system's librnp lacks the bundled one's certification and user-ID calls.
  return()
endif()

if(TOLV_FUZZ)
  set(_librnp_variant fuzz)
else()
  set(_librnp_variant release)
endif()
set(_librnp_dir ${CMAKE_BINARY_DIR}/librnp)
execute_process(
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/build-librnp.sh ${_librnp_dir} ${_librnp_variant}
  RESULT_VARIABLE _librnp_result)
if(NOT _librnp_result EQUAL 0)
  message(FATAL_ERROR "The bundled librnp did not build; see ${_librnp_dir}/build.log")
endif()
# Configured again whenever the source or a patch changes.
file(GLOB_RECURSE _librnp_inputs ${CMAKE_SOURCE_DIR}/third_party/rnp/*)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_librnp_inputs}
             ${CMAKE_SOURCE_DIR}/scripts/build-librnp.sh)

pkg_check_modules(BOTAN REQUIRED IMPORTED_TARGET botan-2)
pkg_check_modules(JSONC REQUIRED IMPORTED_TARGET json-c)
find_package(BZip2 REQUIRED)
find_package(ZLIB REQUIRED)
target_include_directories(tolv_librnp SYSTEM INTERFACE ${_librnp_dir}/install/include)
# The calls our patches add, as compile definitions (TOLV_RNP_...).
file(READ ${_librnp_dir}/install/features _librnp_features)
string(REGEX MATCHALL "[A-Z0-9_]+" _librnp_features "${_librnp_features}")
# TOLV_HAVE_BOTAN: the SDK may hash with Botan itself, which this librnp links.
target_compile_definitions(tolv_librnp INTERFACE RNP_STATIC TOLV_HAVE_BOTAN ${_librnp_features})
file(GLOB _librnp_archives ${_librnp_dir}/install/lib/*.a)
list(SORT _librnp_archives)  # librnp.a before libsexpp.a, which it uses
target_link_libraries(tolv_librnp INTERFACE ${_librnp_archives}
                      PkgConfig::BOTAN PkgConfig::JSONC BZip2::BZip2 ZLIB::ZLIB)
