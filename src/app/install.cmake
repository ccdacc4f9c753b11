# Installed layout: the programs and everything they read at run time in one folder
# (${KBCONFIG_INSTALL_DIR}), found there through the program folder; bin/ holds symbolic links.
set(KBCONFIG_INSTALL_DIR "lib/kbconfig" CACHE STRING
    "Folder (relative to the prefix) for the programs, uires and config.xml")
set(KBCONFIG_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Folder for the udev rule (udev reads /usr/lib/udev/rules.d and /etc/udev/rules.d)")

install(TARGETS kbconfig kbconfig-demo kbcfg RUNTIME DESTINATION ${KBCONFIG_INSTALL_DIR})
install(DIRECTORY ${KBCONFIG_RUNTIME_DIR}/uires DESTINATION ${KBCONFIG_INSTALL_DIR})
file(GLOB kb_install_data CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/*.xml)
install(FILES ${kb_install_data} DESTINATION ${KBCONFIG_INSTALL_DIR})

foreach(program kbconfig kbconfig-demo kbcfg)
    install(CODE "
        set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${program}\")
        file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
        file(REMOVE \"\${link}\")
        file(CREATE_LINK \"../${KBCONFIG_INSTALL_DIR}/${program}\" \"\${link}\" SYMBOLIC)
        message(STATUS \"Installing: \${link}\")")
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/kbconfig.desktop DESTINATION share/applications)
install(FILES ${KBCONFIG_RUNTIME_DIR}/uires/icon/logo.png DESTINATION share/icons/hicolor/256x256/apps
        RENAME kbconfig.png)

# The udev rule carries the keyboard's identity from config.xml: vid and pid as four lower-case
# hexadecimal digits, the interface number as two, as sysfs writes them.
set(kb_config_xml ${PROJECT_SOURCE_DIR}/data/config.xml)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${kb_config_xml})
file(READ ${kb_config_xml} kb_config_text)
string(REGEX MATCH "<usb[^>]*>" kb_usb "${kb_config_text}")
function(kb_usb_hex attribute digits out)
    if(NOT kb_usb MATCHES "[ \t\r\n]${attribute}=\"(0[xX])?([0-9a-fA-F]+)\"")
        message(FATAL_ERROR "data/config.xml: <usb ${attribute}=...> is missing or not hexadecimal")
    endif()
    string(TOLOWER "${CMAKE_MATCH_2}" value)
    string(REGEX REPLACE "^0+([0-9a-f])" "\\1" value "${value}")
    string(LENGTH "${value}" length)
    while(length LESS digits)
        string(PREPEND value "0")
        math(EXPR length "${length} + 1")
    endwhile()
    set(${out} "${value}" PARENT_SCOPE)
endfunction()
kb_usb_hex(vid 4 KBCONFIG_UDEV_VID)
kb_usb_hex(pid 4 KBCONFIG_UDEV_PID)
kb_usb_hex(interface 2 KBCONFIG_UDEV_INTERFACE)
configure_file(${PROJECT_SOURCE_DIR}/packaging/70-kbconfig.rules.in
               ${CMAKE_BINARY_DIR}/packaging/70-kbconfig.rules @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/70-kbconfig.rules
        DESTINATION ${KBCONFIG_UDEV_RULES_DIR})

# The helper the window offers when the keyboard is kept from the user: run through pkexec, it
# makes udev apply the rule above to the keyboards plugged in. Its polkit action names it by its
# installed path, known only when installing (packages install under another prefix).
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/kbconfig-allow-access
        DESTINATION ${KBCONFIG_INSTALL_DIR})
install(CODE "
    file(READ \"${PROJECT_SOURCE_DIR}/packaging/kbconfig-allow-access.policy.in\" policy)
    string(REPLACE \"@KBCONFIG_ACCESS_HELPER@\"
           \"\${CMAKE_INSTALL_PREFIX}/${KBCONFIG_INSTALL_DIR}/kbconfig-allow-access\" policy \"\${policy}\")
    set(actions \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/polkit-1/actions\")
    file(MAKE_DIRECTORY \"\${actions}\")
    file(WRITE \"\${actions}/org.example.kbconfig.allow-access.policy\" \"\${policy}\")
    message(STATUS \"Installing: \${actions}/org.example.kbconfig.allow-access.policy\")")
