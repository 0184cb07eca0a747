# Empty dependencies file for kalvenor_lib.
# This may be replaced when dependencies are built.
