file(REMOVE_RECURSE
  "CMakeFiles/kalvenor_lib.dir/platform/run_time_error.cc.o"
  "CMakeFiles/kalvenor_lib.dir/platform/run_time_error.cc.o.d"
  "CMakeFiles/kalvenor_lib.dir/platform/text.cc.o"
  "CMakeFiles/kalvenor_lib.dir/platform/text.cc.o.d"
  "CMakeFiles/kalvenor_lib.dir/printing/print_surface.cc.o"
  "CMakeFiles/kalvenor_lib.dir/printing/print_surface.cc.o.d"
  "libkalvenor_lib.a"
  "libkalvenor_lib.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/kalvenor_lib.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
