# Empty dependencies file for kalvenor.
# This may be replaced when dependencies are built.
