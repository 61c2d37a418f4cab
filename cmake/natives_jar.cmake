# cmake -DCLASSES_JAR=<jar> -DOUT=<jar> -DSTAGE=<dir> -DJAR_TOOL=<jar>
#       -DENTRIES=<file of platform=library lines> -P natives_jar.cmake
# Writes OUT: the classes of CLASSES_JAR and every native library of
# ENTRIES under natives/<platform>/, with natives/index.txt listing what
# the jar carries (one platform/file per line).
file(REMOVE_RECURSE ${STAGE})
file(STRINGS "${ENTRIES}" entries)
set(index "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "=.*$" "" platform "${entry}")
  string(REGEX REPLACE "^[^=]*=" "" library "${entry}")
  if(NOT EXISTS "${library}")
    message(FATAL_ERROR "native library missing: ${library}")
  endif()
  get_filename_component(name "${library}" NAME)
  file(COPY "${library}" DESTINATION "${STAGE}/natives/${platform}")
  string(APPEND index "${platform}/${name}\n")
endforeach()
file(WRITE "${STAGE}/natives/index.txt" "${index}")
file(COPY_FILE "${CLASSES_JAR}" "${OUT}.part")
execute_process(COMMAND "${JAR_TOOL}" --update --file "${OUT}.part" -C "${STAGE}" natives
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "jar failed: ${result}")
endif()
file(RENAME "${OUT}.part" "${OUT}")
