# CMake generated Testfile for 
# Source directory: /work/main
# Build directory: /work/main/build
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
add_test([=[kalvenor_tests]=] "/work/main/build/kalvenor_tests")
set_tests_properties([=[kalvenor_tests]=] PROPERTIES  _BACKTRACE_TRIPLES "/work/main/CMakeLists.txt;71;add_test;/work/main/CMakeLists.txt;0;")
