# Packages made with CPack from the install rules. Settings common to every package come first;
# each platform's generator has its own file.
set(CPACK_PACKAGE_NAME "kbconfig")
set(CPACK_PACKAGE_VENDOR "kbconfig")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configurator for the USB gaming keyboard")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})

if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/package_nsis.cmake)
endif()

include(CPack)
