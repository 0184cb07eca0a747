file(REMOVE_RECURSE
  "libkalvenor_lib.a"
)
