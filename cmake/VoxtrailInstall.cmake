# Installation: the library and its header, the command-line tool, the engine data, a CMake
# package (find_package(voxtrail) -> voxtrail::voxtrail) and a pkg-config file.
include(CMakePackageConfigHelpers)

set(VOXTRAIL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/voxtrail)

install(TARGETS voxtrail EXPORT voxtrailTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS voxtrail_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The shipped data as laid out beside the plug-in; placeholders stay behind.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/KvParlo/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/voxtrail/KvParlo
  PATTERN .gitkeep EXCLUDE)
# The mouth-shape sets of voxtrail --shapes, with their table.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/mouth-shapes/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/voxtrail/mouth-shapes)
# The evaluation sounds are spoken at build time.
install(DIRECTORY ${VX_EVALUATION_SOUNDS_DIR}/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/voxtrail/KvParlo/Evaluation_Sounds
  OPTIONAL)

install(EXPORT voxtrailTargets NAMESPACE voxtrail:: DESTINATION ${VOXTRAIL_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/voxtrailConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/voxtrailConfig.cmake
  INSTALL_DESTINATION ${VOXTRAIL_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/voxtrailConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/voxtrailConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/voxtrailConfigVersion.cmake
  DESTINATION ${VOXTRAIL_CMAKE_DIR})

# Relocatable: the prefix is found from where the .pc file lies, so a staged or moved install
# still resolves.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(VOXTRAIL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH _pc_up "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
  string(REGEX REPLACE "/$" "" _pc_up "${_pc_up}")
  set(VOXTRAIL_PC_PREFIX "\${pcfiledir}/${_pc_up}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/voxtrail.pc.in ${CMAKE_CURRENT_BINARY_DIR}/voxtrail.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/voxtrail.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
