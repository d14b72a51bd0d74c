# Whole-build sanitizers: every target, Qt code included, is instrumented alike
# so that reports point at our frames, not at a boundary between builds.
if(ORVEL_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(ORVEL_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT ORVEL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ORVEL_SANITIZE must be empty, 'address' or 'thread' (got '${ORVEL_SANITIZE}')")
endif()
