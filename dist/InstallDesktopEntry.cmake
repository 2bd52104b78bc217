# Run by `cmake --install`: writes the desktop entry for the program where it is being installed,
# under the prefix the install was given (`--prefix`), which may not be the one the build was
# configured with. Given: MOSAIKO_DESKTOP_IN, MOSAIKO_DESKTOP_OUT, MOSAIKO_APP_ID and MOSAIKO_BINDIR
# (absolute, or relative to the prefix).
if(IS_ABSOLUTE "${MOSAIKO_BINDIR}")
  set(program "${MOSAIKO_BINDIR}/mosaiko")
else()
  get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE BASE_DIR "$ENV{PWD}")
  set(program "${prefix}/${MOSAIKO_BINDIR}/mosaiko")
endif()
if(program MATCHES "[\r\n]")
  message(FATAL_ERROR "A desktop entry cannot name ${program}: its path holds a line break")
endif()
# One quoted argument: `"`, `` ` ``, `$` and `\` take a backslash; then the value as a whole escapes
# every backslash once more, and `%` (a field code) is doubled.
string(REPLACE "\\" "\\\\" quoted "${program}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
string(REPLACE "`" "\\`" quoted "${quoted}")
string(REPLACE "$" "\\$" quoted "${quoted}")
string(REPLACE "\\" "\\\\" MOSAIKO_EXEC "\"${quoted}\"")
string(REPLACE "%" "%%" MOSAIKO_EXEC "${MOSAIKO_EXEC}")
configure_file("${MOSAIKO_DESKTOP_IN}" "${MOSAIKO_DESKTOP_OUT}" @ONLY)
