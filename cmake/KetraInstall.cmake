include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS ketra_core ketra_host_shared EXPORT ketraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Public headers keep their folder paths: #include "platform/hc/hc.h".
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/ DESTINATION include/ketra
  FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_SOURCE_DIR}/src/ketra.h DESTINATION include/ketra)
if(TARGET ketra_ui)
  install(TARGETS ketra_ui EXPORT ketraTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()

install(EXPORT ketraTargets NAMESPACE ketra:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ketra)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ketraConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ketraConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ketra)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ketraConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ketraConfig.cmake ${PROJECT_BINARY_DIR}/ketraConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ketra)
