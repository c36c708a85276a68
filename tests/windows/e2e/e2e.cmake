# The adapter end to end: e2e_adapter, an application of the adapter library
# that includes only its public headers, run by run_e2e.sh on the host
# against the native simulated server (scenarios fill and reject).
#
# Windows build (included from tests/windows): the program is built by the
# cross compiler and linked with the DLL's import library only; it runs
# under Wine (called by the script, not as ctest's emulator) in its own
# directory, with HUXAdapterApi.dll copied beside the .exe. The server is a
# Linux build's, named by -DHUX_SIM_SERVER; without it windows_e2e skips.
#
# Linux build (included from tests): the same program and script against
# libhuxadapter.so and this build's hux-sim-server (adapter_e2e).
set(HUX_E2E_DIR ${CMAKE_CURRENT_LIST_DIR})

if(WIN32)
  set(HUX_SIM_SERVER "" CACHE FILEPATH
    "The native hux-sim-server (a Linux build's sim/hux-sim-server) for windows_e2e; empty: the test skips")
  if(TARGET HUXAdapterApi)
    set(bindir ${CMAKE_CURRENT_BINARY_DIR}/e2e)
    add_executable(e2e_adapter ${HUX_E2E_DIR}/e2e_adapter.cpp)
    target_link_libraries(e2e_adapter PRIVATE HUXAdapterApi ws2_32)
    set_target_properties(e2e_adapter PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${bindir})
    # Windows looks for the DLL beside the .exe.
    add_custom_command(TARGET e2e_adapter POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:HUXAdapterApi> ${bindir})

    set(workdir ${CMAKE_CURRENT_BINARY_DIR}/run/windows_e2e)
    file(MAKE_DIRECTORY ${workdir})
    add_test(NAME windows_e2e
      COMMAND sh ${HUX_E2E_DIR}/run_e2e.sh --emulator ${CMAKE_CROSSCOMPILING_EMULATOR}
        "${HUX_SIM_SERVER}" $<TARGET_FILE:e2e_adapter> fill reject
      WORKING_DIRECTORY ${workdir})
    set_tests_properties(windows_e2e PROPERTIES TIMEOUT 900 SKIP_RETURN_CODE 77 FIXTURES_REQUIRED wine
      ENVIRONMENT "${HUX_WINE_ENV}" ENVIRONMENT_MODIFICATION "${HUX_WINE_ENV_CHANGES}")

    # The program imports the DLL and Windows' own DLLs only.
    add_test(NAME windows_e2e_imports COMMAND sh -c [=[
dlls=$("$0" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort) || exit 1
echo "$1: $(echo $dlls)"
echo "$dlls" | grep -qx HUXAdapterApi.dll || { echo "HUXAdapterApi.dll not imported"; exit 1; }
for dll in $dlls; do
  case $dll in HUXAdapterApi.dll|KERNEL32.dll|msvcrt.dll|WS2_32.dll) ;; *) echo "imports $dll"; exit 1 ;; esac
done]=] ${CMAKE_OBJDUMP} $<TARGET_FILE:e2e_adapter>)
  endif()
elseif(TARGET huxadapter AND TARGET hux-sim-server)
  add_executable(e2e_adapter ${HUX_E2E_DIR}/e2e_adapter.cpp)
  target_link_libraries(e2e_adapter PRIVATE huxadapter Threads::Threads)
  set(workdir ${CMAKE_CURRENT_BINARY_DIR}/e2e_run)
  file(MAKE_DIRECTORY ${workdir})
  add_test(NAME adapter_e2e
    COMMAND sh ${HUX_E2E_DIR}/run_e2e.sh $<TARGET_FILE:hux-sim-server> $<TARGET_FILE:e2e_adapter> fill reject
    WORKING_DIRECTORY ${workdir})
  set_tests_properties(adapter_e2e PROPERTIES TIMEOUT 300)
endif()
