file(REMOVE_RECURSE
  "CMakeFiles/kalvenor.dir/app/main.cc.o"
  "CMakeFiles/kalvenor.dir/app/main.cc.o.d"
  "kalvenor"
  "kalvenor.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/kalvenor.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
