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

# The fuzz build instruments every library a fuzz target links for coverage
# and with ASan and UBSan, so the fuzzer steers by the parsers' own branches;
# only the targets themselves link libFuzzer's main (fuzz/CMakeLists.txt).
if(ORVEL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ORVEL_FUZZ needs clang (configure with CXX=clang++)")
  endif()
  if(NOT ORVEL_SANITIZE STREQUAL "")
    message(FATAL_ERROR "ORVEL_FUZZ brings its own sanitizers: leave ORVEL_SANITIZE empty")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
