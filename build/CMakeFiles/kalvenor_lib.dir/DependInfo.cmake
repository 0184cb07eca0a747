
# Consider dependencies only in project.
set(CMAKE_DEPENDS_IN_PROJECT_ONLY OFF)

# The set of languages for which implicit dependencies are needed:
set(CMAKE_DEPENDS_LANGUAGES
  )

# The set of dependency files which are needed:
set(CMAKE_DEPENDS_DEPENDENCY_FILES
  "/work/main/platform/run_time_error.cc" "CMakeFiles/kalvenor_lib.dir/platform/run_time_error.cc.o" "gcc" "CMakeFiles/kalvenor_lib.dir/platform/run_time_error.cc.o.d"
  "/work/main/platform/text.cc" "CMakeFiles/kalvenor_lib.dir/platform/text.cc.o" "gcc" "CMakeFiles/kalvenor_lib.dir/platform/text.cc.o.d"
  "/work/main/printing/print_surface.cc" "CMakeFiles/kalvenor_lib.dir/printing/print_surface.cc.o" "gcc" "CMakeFiles/kalvenor_lib.dir/printing/print_surface.cc.o.d"
  )

# Targets to which this target links.
set(CMAKE_TARGET_LINKED_INFO_FILES
  )

# Fortran module output directory.
set(CMAKE_Fortran_TARGET_MODULE_DIR "")
