# Runs at install time. Installs the desktop entry with the installed
# executable and icon named by their absolute paths: the program's folder is
# self-contained and never on PATH, and a desktop reading a copy of the
# entry (say in ~/.local/share/applications) must still find both.
#
# Set before this script: ORVANEL_DESKTOP_ENTRY_SOURCE (resources/orvanel.desktop)
# and ORVANEL_DESKTOP_ENTRY_STAGING (a folder in the build tree to write it in
# first; one sub-folder per prefix, so that installs side by side never meet).

get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(executable "${prefix}/orvanel")
set(icon "${prefix}/share/icons/hicolor/32x32/apps/orvanel.png")

# An Exec program path is quoted, with " ` $ and \ escaped by a backslash;
# the entry's own string escaping then doubles every backslash.
string(REPLACE "\\" "\\\\\\\\" quoted "${executable}")
foreach(special "\"" "`" "$")
  string(REPLACE "${special}" "\\\\${special}" quoted "${quoted}")
endforeach()
# Icon is a plain string: only the backslash is escaped.
string(REPLACE "\\" "\\\\" icon_value "${icon}")

file(READ "${ORVANEL_DESKTOP_ENTRY_SOURCE}" entry)
string(REPLACE "\nExec=orvanel " "\nExec=\"${quoted}\" " entry "${entry}")
string(REPLACE "\nIcon=orvanel\n" "\nIcon=${icon_value}\n" entry "${entry}")
string(MD5 prefix_hash "${prefix}")
set(staged "${ORVANEL_DESKTOP_ENTRY_STAGING}/${prefix_hash}/orvanel.desktop")
file(WRITE "${staged}" "${entry}")
file(INSTALL "${staged}" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")
file(REMOVE_RECURSE "${ORVANEL_DESKTOP_ENTRY_STAGING}/${prefix_hash}")
