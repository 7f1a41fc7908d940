# Run at install time: writes the desktop entry with Exec naming the program
# under the prefix being installed to, then installs it.
# In: QUILLORY_DESKTOP_IN (template), QUILLORY_DESKTOP_OUT (scratch file).

set(exec "${CMAKE_INSTALL_PREFIX}/bin/quillory")
# An argument holding a character the desktop entry format reserves is
# written in double quotes, with ", `, $ and \ escaped inside them.
if(exec MATCHES "[] \t\n\"'\\\\><~|&;$*?#()`[]")
  string(REPLACE "\\" "\\\\" exec "${exec}")
  string(REPLACE "\"" "\\\"" exec "${exec}")
  string(REPLACE "`" "\\`" exec "${exec}")
  string(REPLACE "$" "\\$" exec "${exec}")
  set(exec "\"${exec}\"")
  # The value itself is a string: its backslashes are escaped once more.
  string(REPLACE "\\" "\\\\" exec "${exec}")
endif()
string(REPLACE "%" "%%" exec "${exec}")
set(QUILLORY_EXEC "${exec}")
configure_file("${QUILLORY_DESKTOP_IN}" "${QUILLORY_DESKTOP_OUT}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications" TYPE FILE
     FILES "${QUILLORY_DESKTOP_OUT}")
