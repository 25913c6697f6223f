# What `cmake --install` puts in place for programmers: the library with its SONAME links,
# the public headers in the source layout under include/Tessellon/, a CMake package
# (find_package(Tessellon CONFIG) gives Tessellon::Tessellon) and a pkg-config file
# (pkg-config --cflags --libs tessellon). Every path is relative to the prefix, so the
# tree works wherever it is installed.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS Tessellon EXPORT TessellonTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/Tessellon)

# Every header is public but these, which only the library's own sources include.
set(tessellon_internal_headers
  reader/ASEScanner.h          # the ASE reader's tokenizer
  rendering/MaterialTexture.h  # how meshes make their material textures (and tests replace it)
)
foreach(dir math core reader rendering)
  file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/${dir}/*.h)
  list(REMOVE_ITEM headers ${tessellon_internal_headers})
  install(FILES ${headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/Tessellon/${dir})
endforeach()

set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Tessellon)
install(EXPORT TessellonTargets NAMESPACE Tessellon:: DESTINATION ${cmake_dir})
configure_package_config_file(cmake/TessellonConfig.cmake.in ${PROJECT_BINARY_DIR}/TessellonConfig.cmake
  INSTALL_DESTINATION ${cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TessellonConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/TessellonConfig.cmake ${PROJECT_BINARY_DIR}/TessellonConfigVersion.cmake
  DESTINATION ${cmake_dir})

# The .pc file finds the prefix from its own place (${pcfiledir}).
set(pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH pc_to_prefix /prefix/${pc_dir} /prefix)
string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
configure_file(cmake/tessellon.pc.in ${PROJECT_BINARY_DIR}/tessellon.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tessellon.pc DESTINATION ${pc_dir})

# The examples, as documentation.
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tessellon/examples)
