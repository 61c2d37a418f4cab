# cmake -DHEADER=<javac -h header> -DDLL=<name.dll> -DOUT=<file.def> [-DDECORATED=ON]
#       -P jni_def.cmake
# Writes the .def that exports every native method of the header in the
# form the Windows VM looks up. A 32-bit VM (DECORATED) looks up _Name@N,
# N being 4 bytes per argument slot (JNIEnv, the object, each argument; a
# long or double counting two); a 64-bit VM the plain name.
file(READ "${HEADER}" text)
string(REGEX MATCHALL "JNICALL[ \t\r\n]+Java_[A-Za-z0-9_]+[ \t\r\n]*\\([^)]*\\)" decls "${text}")
set(lines "LIBRARY ${DLL}\nEXPORTS\n")
foreach(decl IN LISTS decls)
  string(REGEX REPLACE "^JNICALL[ \t\r\n]+(Java_[A-Za-z0-9_]+).*$" "\\1" name "${decl}")
  if(NOT DECORATED)
    string(APPEND lines "  ${name}\n")
    continue()
  endif()
  string(REGEX REPLACE "^[^(]*\\(([^)]*)\\)$" "\\1" params "${decl}")
  string(REPLACE "," ";" params "${params}")
  set(bytes 0)
  foreach(p IN LISTS params)
    if(p MATCHES "jlong|jdouble")
      math(EXPR bytes "${bytes} + 8")
    else()
      math(EXPR bytes "${bytes} + 4")
    endif()
  endforeach()
  string(APPEND lines "  _${name}@${bytes} = ${name}@${bytes}\n")
endforeach()
file(WRITE "${OUT}" "${lines}")
