# What `cmake --install` puts under the prefix: libhuxtrade.so in lib/, the
# public headers in include/hux/, hux-sim-server and hux-demo in bin/ (their
# own folders install them), the CMake package huxtrade (target hux::trade)
# and the pkg-config file huxtrade.pc. Tests, benchmarks and the static
# layer libraries stay in the build tree. Every path written into an
# installed file is relative to the prefix, so the tree can be moved.
include(CMakePackageConfigHelpers)

set(HUX_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/huxtrade)
set(HUX_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS huxtrade EXPORT huxtradeTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES
  include/hux_static_assert.h
  include/hux_trade_struct.h
  include/hux_trade_request_struct.h
  include/hux_trade_answer_struct.h
  include/hux_trade_status_struct.h
  include/mv_hux_trade.h
  include/hux_trader_api.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/hux)

install(EXPORT huxtradeTargets
  NAMESPACE hux::
  FILE huxtradeTargets.cmake
  DESTINATION ${HUX_INSTALL_CMAKEDIR})
configure_package_config_file(cmake/huxtradeConfig.cmake.in
  ${PROJECT_BINARY_DIR}/huxtradeConfig.cmake
  INSTALL_DESTINATION ${HUX_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/huxtradeConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/huxtradeConfig.cmake
  ${PROJECT_BINARY_DIR}/huxtradeConfigVersion.cmake
  DESTINATION ${HUX_INSTALL_CMAKEDIR})

# pkg-config: the prefix as a path from the .pc file's own folder.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  message(FATAL_ERROR "CMAKE_INSTALL_LIBDIR and CMAKE_INSTALL_INCLUDEDIR must be relative to the prefix")
endif()
file(RELATIVE_PATH HUX_PC_PREFIX_FROM_PCDIR
  /hux_prefix/${HUX_INSTALL_PKGCONFIGDIR} /hux_prefix)
string(REGEX REPLACE "/$" "" HUX_PC_PREFIX_FROM_PCDIR "${HUX_PC_PREFIX_FROM_PCDIR}")
configure_file(cmake/huxtrade.pc.in ${PROJECT_BINARY_DIR}/huxtrade.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/huxtrade.pc DESTINATION ${HUX_INSTALL_PKGCONFIGDIR})
