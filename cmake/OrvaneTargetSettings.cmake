# Compiler settings for every Orvane target, set per target (orvane_target_settings)
# rather than for the whole directory tree, so that third-party code built here
# (GoogleTest on Windows) keeps its own.
#   ORVANE_WARNINGS_AS_ERRORS  warnings fail the build; on by default when CI=true
#   ORVANE_SANITIZE            sanitizers, e.g. "address,undefined"; any report ends the program
#   ORVANE_FUZZ                libFuzzer coverage for every target (clang), and the fuzz targets

if("$ENV{CI}" STREQUAL "true")
  set(orvane_werror_default ON)
else()
  set(orvane_werror_default OFF)
endif()
option(ORVANE_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" ${orvane_werror_default})
set(ORVANE_SANITIZE "" CACHE STRING "Sanitizers for the Orvane targets, e.g. address,undefined")
option(ORVANE_FUZZ "Build the libFuzzer targets (clang)" OFF)

function(orvane_target_settings)
  foreach(target ${ARGN})
    if(MSVC)
      target_compile_options(${target} PRIVATE /W4 /utf-8 /permissive-
        $<$<BOOL:${ORVANE_WARNINGS_AS_ERRORS}>:/WX>)
      target_compile_definitions(${target} PRIVATE _CRT_SECURE_NO_WARNINGS)
    else()
      target_compile_options(${target} PRIVATE -Wall -Wextra
        $<$<BOOL:${ORVANE_WARNINGS_AS_ERRORS}>:-Werror>)
    endif()
    if(ORVANE_SANITIZE)
      target_compile_options(${target} PRIVATE -fsanitize=${ORVANE_SANITIZE}
        -fno-sanitize-recover=all -fno-omit-frame-pointer)
      target_link_options(${target} PRIVATE -fsanitize=${ORVANE_SANITIZE})
      if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        # GCC's flow analysis under the sanitizers reports uninitialised members
        # inside libstdc++ (std::regex, std::function) that are not.
        target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
      endif()
    endif()
    if(ORVANE_FUZZ)
      target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
    endif()
  endforeach()
endfunction()
