# Libraries loaded on the first call instead of at start.
#
# Most runs of veltrano-cli (help, info, repair, an FLV join) never decode or
# encode, yet a library linked to FFmpeg, Pango or SDL2 makes the dynamic
# loader map and relocate some 170 shared objects before main(). A library
# that calls such a library through plain C functions can instead carry one
# small stub per function it calls: the stub jumps through a slot that first
# points at a resolver, which loads the library once, fills every slot with
# dlsym and goes on to the called function (LazyStubs.cmake writes the stubs
# at build time from the consumer's objects and the library's exports;
# LazyLoad.c loads). The stubs are hidden inside the consumer, so the
# consumer's exports and every other program are unchanged; executables that
# link the consumer's objects directly (the tests) keep linking the real
# libraries.
#
# Only x86-64 has stubs; elsewhere the libraries are linked as usual.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(VELTRANO_LAZY_LINK_DEFAULT ON)
else()
  set(VELTRANO_LAZY_LINK_DEFAULT OFF)
endif()
option(VELTRANO_LAZY_LINK "Load FFmpeg-, Pango- and SDL-backed libraries on first use (x86-64 only)"
       ${VELTRANO_LAZY_LINK_DEFAULT})
if(VELTRANO_LAZY_LINK)
  if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    message(FATAL_ERROR "VELTRANO_LAZY_LINK writes x86-64 stubs: turn it off on ${CMAKE_SYSTEM_PROCESSOR}")
  endif()
  enable_language(ASM)
endif()

set(VELTRANO_LAZY_LINK_DIR ${CMAKE_CURRENT_LIST_DIR})

# veltrano_link_on_first_call(CONSUMER OBJECTS OBJECT_LIBRARY LIBRARIES lib...)
#   CONSUMER        a shared library made from the objects of OBJECT_LIBRARY
#   LIBRARIES       project library targets, or imported targets naming one
#                   system shared library, that CONSUMER calls
# With VELTRANO_LAZY_LINK off this is target_link_libraries(CONSUMER PRIVATE ...).
function(veltrano_link_on_first_call consumer)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "OBJECTS" "LIBRARIES")
  if(NOT VELTRANO_LAZY_LINK)
    target_link_libraries(${consumer} PRIVATE ${ARG_LIBRARIES})
    return()
  endif()

  # One "name|file|beside" entry per library for the stub writer. The
  # project's own libraries are looked for beside the consumer first (an
  # installed tree keeps them together); system libraries only by soname.
  set(entries)
  set(depends)
  foreach(lib IN LISTS ARG_LIBRARIES)
    get_target_property(imported ${lib} IMPORTED)
    if(imported)
      get_target_property(files ${lib} INTERFACE_LINK_LIBRARIES)
      list(FILTER files INCLUDE REGEX "\\.so(\\.[0-9.]+)?$")
      list(LENGTH files count)
      if(NOT count EQUAL 1)
        message(FATAL_ERROR "${lib} must name exactly one shared library to be loaded on first use: ${files}")
      endif()
      string(MAKE_C_IDENTIFIER ${lib} name)
      list(APPEND entries "${name}|${files}|0")
      list(APPEND depends ${files})
      # Nothing NEEDs the system library any more, so the package must ask for it.
      get_filename_component(real ${files} REALPATH)
      execute_process(COMMAND dpkg-query -S ${real} OUTPUT_VARIABLE owner ERROR_QUIET
                      OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
      if(rc EQUAL 0)
        string(REGEX REPLACE ":.*" "" owner "${owner}")
        set_property(GLOBAL APPEND PROPERTY VELTRANO_LAZY_PACKAGES ${owner})
      else()
        message(WARNING "No Debian package owns ${real}: a package built here will not depend on it, "
                        "and a machine without it stops at the first call that needs it")
      endif()
    else()
      list(APPEND entries "${lib}|$<TARGET_FILE:${lib}>|1")
      list(APPEND depends ${lib})
      # A build tree keeps each library in its own folder: the consumer's
      # build RUNPATH leads dlopen there, as linking would have.
      set_property(TARGET ${consumer} APPEND PROPERTY BUILD_RPATH $<TARGET_FILE_DIR:${lib}>)
      add_dependencies(${consumer} ${lib})
    endif()
  endforeach()

  set(dir ${CMAKE_CURRENT_BINARY_DIR}/lazylink)
  set(stubs ${dir}/${consumer}-stubs.S)
  file(GENERATE OUTPUT ${dir}/${consumer}-objects.txt
       CONTENT "$<JOIN:$<TARGET_OBJECTS:${ARG_OBJECTS}>,\n>\n")
  file(GENERATE OUTPUT ${dir}/${consumer}-libraries.txt
       CONTENT "$<JOIN:${entries},\n>\n")
  add_custom_command(OUTPUT ${stubs}
    COMMAND ${CMAKE_COMMAND} -DCONSUMER=${consumer} -DOBJECTS=${dir}/${consumer}-objects.txt
            -DLIBRARIES=${dir}/${consumer}-libraries.txt -DOUT=${stubs}
            -P ${VELTRANO_LAZY_LINK_DIR}/LazyStubs.cmake
    DEPENDS $<TARGET_OBJECTS:${ARG_OBJECTS}> ${depends}
            ${dir}/${consumer}-objects.txt ${dir}/${consumer}-libraries.txt
            ${VELTRANO_LAZY_LINK_DIR}/LazyStubs.cmake
    COMMENT "Writing the first-call stubs of ${consumer}"
    VERBATIM)
  target_sources(${consumer} PRIVATE ${stubs} ${VELTRANO_LAZY_LINK_DIR}/LazyLoad.c)
  target_link_libraries(${consumer} PRIVATE ${CMAKE_DL_LIBS})
endfunction()
