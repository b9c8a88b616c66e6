# Run by `cmake --install`: writes the desktop entry with the launcher's full path under the
# prefix being installed into, and installs it. TROVAN_DESKTOP_TEMPLATE and TROVAN_DESKTOP_FILE
# are set by the install code before it.

set(launcher "${CMAKE_INSTALL_PREFIX}/bin/trovan")

# Exec: the path in double quotes, with the characters that are reserved inside quotes
# escaped and a literal % doubled; then, as for every string value, each backslash doubled.
string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" exec "${launcher}")
string(REPLACE "%" "%%" exec "${exec}")
string(REPLACE "\\" "\\\\" TROVAN_DESKTOP_EXEC "\"${exec}\"")
string(REPLACE "\\" "\\\\" TROVAN_DESKTOP_TRYEXEC "${launcher}")

configure_file("${TROVAN_DESKTOP_TEMPLATE}" "${TROVAN_DESKTOP_FILE}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications" TYPE FILE
     FILES "${TROVAN_DESKTOP_FILE}")
