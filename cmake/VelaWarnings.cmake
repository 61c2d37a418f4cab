# The warnings every build of ours compiles with. The project's own builds
# and CI turn them into errors; a packager's newer compiler should not fail
# the build over a new warning.
option(VELA_WERROR "Treat compiler warnings as errors" OFF)
set(VELA_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wformat=2)
if(VELA_WERROR)
  list(APPEND VELA_WARNINGS -Werror)
endif()
