# The Windows installer: NSIS, per machine into Program Files, a Start-menu shortcut and an
# uninstaller. The user's data lives in %APPDATA%\kbconfig, outside the program folder, so
# uninstalling leaves it alone.
set(CPACK_GENERATOR "NSIS")
set(CPACK_PACKAGE_FILE_NAME "kbconfig-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "kbconfig")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "kbconfig")
set(CPACK_NSIS_DISPLAY_NAME "kbconfig")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
set(CPACK_PACKAGE_EXECUTABLES "kbconfig" "kbconfig")
set(CPACK_NSIS_INSTALLED_ICON_NAME "kbconfig.exe")
# A 64-bit installer (NSIS's amd64 stub): it runs where only 64-bit Windows programs do, and
# sees the 64-bit Program Files and registry. Per machine: CPack's script asks for administrator
# rights.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
