# The program folder on Windows: the executables and everything they load at run time beside them
# (Qt's DLLs and plugins, the compiler's run-time DLLs that Qt's DLLs link, "uires", config.xml and
# keys.xml). The build tree's runtime folder gets the same DLLs, so the programs and the tests run
# from the build tree as they do from an installed folder.

# Qt's DLLs and the plugins the program loads, each with its plugin folder.
set(kb_qt_libraries Qt6::Core Qt6::Gui Qt6::Widgets)
set(kb_qt_plugins
    Qt6::QWindowsIntegrationPlugin platforms
    Qt6::QWindowsVistaStylePlugin styles
    Qt6::QICOPlugin imageformats)
# Only the tests use these: windows drawn offscreen, and Qt's test library.
set(kb_qt_test_libraries Qt6::Test)
set(kb_qt_test_plugins
    Qt6::QOffscreenIntegrationPlugin platforms
    Qt6::QMinimalIntegrationPlugin platforms)

# The programs link the compiler's run-time statically; Qt's DLLs need its DLLs.
set(kb_mingw_runtime)
foreach(dll libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "The compiler's run-time DLL ${dll} was not found")
    endif()
    get_filename_component(path "${path}" REALPATH)
    list(APPEND kb_mingw_runtime "${path}")
endforeach()

# Into the build tree.
set(kb_runtime_copies)
function(kb_copy_to_runtime source subfolder)
    get_filename_component(name "${source}" NAME)
    set(target_path ${KBCONFIG_RUNTIME_DIR}/${subfolder}/${name})
    add_custom_command(OUTPUT ${target_path}
                       COMMAND ${CMAKE_COMMAND} -E copy_if_different ${source} ${target_path}
                       DEPENDS ${source})
    set(kb_runtime_copies ${kb_runtime_copies} ${target_path} PARENT_SCOPE)
endfunction()
foreach(library IN LISTS kb_qt_libraries kb_qt_test_libraries)
    get_target_property(location ${library} IMPORTED_LOCATION_RELEASE)
    kb_copy_to_runtime(${location} .)
endforeach()
set(kb_all_plugins ${kb_qt_plugins} ${kb_qt_test_plugins})
while(kb_all_plugins)
    list(POP_FRONT kb_all_plugins plugin folder)
    get_target_property(location ${plugin} IMPORTED_LOCATION_RELEASE)
    kb_copy_to_runtime(${location} ${folder})
endwhile()
foreach(dll IN LISTS kb_mingw_runtime)
    kb_copy_to_runtime(${dll} .)
endforeach()
add_custom_target(kb_windows_runtime ALL DEPENDS ${kb_runtime_copies})
add_dependencies(kbconfig kb_windows_runtime)
add_dependencies(kbconfig-demo kb_windows_runtime)

# Into the installed program folder: everything at its top.
install(TARGETS kbconfig kbconfig-demo kbcfg RUNTIME DESTINATION .)
foreach(library IN LISTS kb_qt_libraries)
    install(FILES $<TARGET_FILE:${library}> DESTINATION .)
endforeach()
set(kb_plugins ${kb_qt_plugins})
while(kb_plugins)
    list(POP_FRONT kb_plugins plugin folder)
    install(FILES $<TARGET_FILE:${plugin}> DESTINATION ${folder})
endwhile()
install(FILES ${kb_mingw_runtime} DESTINATION .)
install(DIRECTORY ${KBCONFIG_RUNTIME_DIR}/uires DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/data/config.xml ${PROJECT_SOURCE_DIR}/data/keys.xml
        DESTINATION .)
