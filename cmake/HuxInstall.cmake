# What `cmake --install` puts under the prefix: libhuxtrade.so and
# libhuxadapter.so in lib/, their public headers in include/hux/ (the two
# header sets have no name in common but hux_static_assert.h, which both
# use), hux-sim-server, hux-demo and hux-adapter-demo in bin/ (their own
# folders install them), the CMake packages huxtrade
# (target hux::trade) and huxadapter (target hux::adapter), and the
# pkg-config files huxtrade.pc and huxadapter.pc. Tests, benchmarks and the
# static layer libraries stay in the build tree. Every path written into an
# installed file is relative to the prefix, so the tree can be moved.
include(CMakePackageConfigHelpers)

set(HUX_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# pkg-config: the prefix as a path from the .pc file's own folder.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  message(FATAL_ERROR "CMAKE_INSTALL_LIBDIR and CMAKE_INSTALL_INCLUDEDIR must be relative to the prefix")
endif()
file(RELATIVE_PATH HUX_PC_PREFIX_FROM_PCDIR
  /hux_prefix/${HUX_INSTALL_PKGCONFIGDIR} /hux_prefix)
string(REGEX REPLACE "/$" "" HUX_PC_PREFIX_FROM_PCDIR "${HUX_PC_PREFIX_FROM_PCDIR}")

# One shared library as the CMake package PACKAGE: its export set
# <PACKAGE>Targets (namespace hux::), cmake/<PACKAGE>Config.cmake.in, a
# version file of the project's version, and cmake/<PACKAGE>.pc.in.
function(hux_install_package package target)
  set(cmakedir ${CMAKE_INSTALL_LIBDIR}/cmake/${package})
  install(TARGETS ${target} EXPORT ${package}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(EXPORT ${package}Targets
    NAMESPACE hux::
    FILE ${package}Targets.cmake
    DESTINATION ${cmakedir})
  configure_package_config_file(cmake/${package}Config.cmake.in
    ${PROJECT_BINARY_DIR}/${package}Config.cmake
    INSTALL_DESTINATION ${cmakedir})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/${package}ConfigVersion.cmake
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMajorVersion)
  install(FILES
    ${PROJECT_BINARY_DIR}/${package}Config.cmake
    ${PROJECT_BINARY_DIR}/${package}ConfigVersion.cmake
    DESTINATION ${cmakedir})
  configure_file(cmake/${package}.pc.in ${PROJECT_BINARY_DIR}/${package}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${package}.pc DESTINATION ${HUX_INSTALL_PKGCONFIGDIR})
endfunction()

# libhuxtrade.so (hux::trade; its export name and installed include folder
# are set where the target is made).
hux_install_package(huxtrade huxtrade)
install(FILES
  include/hux_static_assert.h
  include/hux_trade_struct.h
  include/hux_trade_request_struct.h
  include/hux_trade_answer_struct.h
  include/hux_trade_status_struct.h
  include/mv_hux_trade.h
  include/hux_trader_api.h
  include/hux_tcp_quote.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/hux)

# libhuxadapter.so as hux::adapter; installed, its headers are found in
# include/hux like the trade library's.
set_target_properties(huxadapter PROPERTIES EXPORT_NAME adapter)
target_include_directories(huxadapter INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/hux>)
hux_install_package(huxadapter huxadapter)
install(FILES
  include/hux_adapter_struct.h
  include/hux_adapter_query_struct.h
  include/hux_adapter_request_struct.h
  include/mv_hux_adapter.h
  include/hux_adapter_api.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/hux)
