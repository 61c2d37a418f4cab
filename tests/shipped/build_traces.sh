# Sourced by the checks of shipped libraries. build_traces FILE prints what
# FILE carries of a debug build or of the machine that built it: debug
# sections, which ELF, PE and Mach-O all name in the file (.debug_*,
# .zdebug_*, .stab*, __DWARF, __debug_*), ELF's symbol table (.symtab), and
# any of the build's folders (VELA_BUILD_FOLDERS, colon-separated, set by
# the build). Nothing printed: nothing found.
build_traces() {
  grep -a -o -E '\.z?debug_[a-z_]+|__debug_[a-z_]+|__DWARF|\.stab[a-z]*|\.symtab' "$1" | sort -u
  old_ifs=$IFS
  IFS=:
  for folder in ${VELA_BUILD_FOLDERS:-}; do
    if grep -a -q -F "$folder" "$1"; then
      echo "$folder"
    fi
  done
  IFS=$old_ifs
}

# no_build_traces FILE: fails, saying what, when FILE carries any.
no_build_traces() {
  traces=$(build_traces "$1")
  if [ -n "$traces" ]; then
    echo "$1 carries debug information, symbols or build folders:"
    echo "$traces"
    exit 1
  fi
}
