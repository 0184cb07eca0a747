file(REMOVE_RECURSE
  "CMakeFiles/kalvenor_tests.dir/platform/text_test.cc.o"
  "CMakeFiles/kalvenor_tests.dir/platform/text_test.cc.o.d"
  "kalvenor_tests"
  "kalvenor_tests.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/kalvenor_tests.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
