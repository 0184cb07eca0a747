# Empty compiler generated dependencies file for kalvenor_tests.
# This may be replaced when dependencies are built.
