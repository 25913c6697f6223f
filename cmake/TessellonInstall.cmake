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

# The headers a game programs against: the classes the engine is made of, the math types,
# and the public additions (piece mover, animations, pollers, materials, messages, quoting).
# DisplayList, PNGError and PictureSize are installed because public headers hold or
# include them. The rest (window, picking, frame clock, registries, input handling, the
# file opener, the readers' tokenizer and builders, the material texture hooks) is the
# library's own; no installed header includes it (tools/check-install.sh checks).
set(tessellon_public_headers
  math/Matrix.h math/Quat.h math/Vec2.h math/Vec3.h math/Vec4.h
  core/Board.h core/CallBackKeyboard.h core/CallBackPicking.h core/Drawable.h core/ImageManager.h
  core/ImageManagerNewHandler.h core/MeshManager.h core/Messages.h core/Meta.h core/MetaBase.h core/Object.h
  core/PieceMover.h core/Quotable.h core/Square.h
  reader/ASEReader.h reader/JPEGReader.h reader/PNGError.h reader/PNGReader.h reader/PictureSize.h
  rendering/Aabb.h rendering/Animation.h rendering/Camera.h rendering/DisplayList.h rendering/Geometry.h
  rendering/HUD.h rendering/HUDText.h rendering/Image.h rendering/Light.h rendering/Material.h rendering/Mesh.h
  rendering/Poller.h rendering/Primitive.h rendering/Render.h rendering/Shader.h rendering/Texture.h
)
foreach(header ${tessellon_public_headers})
  get_filename_component(dir ${header} DIRECTORY)
  install(FILES ${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/Tessellon/${dir})
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
