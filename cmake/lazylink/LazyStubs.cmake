# Writes the x86-64 stubs through which CONSUMER calls libraries it loads on
# first use (see LazyLink.cmake). Run at build time:
#   cmake -DCONSUMER=name -DOBJECTS=objects.txt -DLIBRARIES=libraries.txt -DOUT=stubs.S -P LazyStubs.cmake
# OBJECTS lists the consumer's object files, LIBRARIES one "name|file|beside"
# line per library. A stub is written for each symbol the objects use and a
# library defines; a symbol that is not a function cannot go through a stub
# and stops the build.
cmake_minimum_required(VERSION 3.25)
file(STRINGS ${OBJECTS} objects)
file(STRINGS ${LIBRARIES} libraries)

execute_process(COMMAND nm --undefined-only --format=just-symbols ${objects}
                OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on the objects of ${CONSUMER}")
endif()
string(REPLACE "\n" ";" wanted "${out}")
list(FILTER wanted EXCLUDE REGEX "(^$|:$)")   # blank lines and "file.o:" headers
foreach(symbol IN LISTS wanted)   # a set, for the look-ups below
  set("wanted_${symbol}" 1)
endforeach()

set(text "/* Written by LazyStubs.cmake for ${CONSUMER}: do not edit. */\n")
string(APPEND text "\t.section .note.GNU-stack,\"\",@progbits\n")
foreach(entry IN LISTS libraries)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 name)
  list(GET entry 1 file)
  list(GET entry 2 beside)

  execute_process(COMMAND objdump -p ${file} OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT dynamic MATCHES "SONAME +([^\n]+)")
    message(FATAL_ERROR "no soname in ${file}")
  endif()
  set(soname ${CMAKE_MATCH_1})

  execute_process(COMMAND nm -D --defined-only ${file} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${file}")
  endif()
  string(REPLACE "\n" ";" lines "${out}")
  set(functions)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^[0-9a-f]+ ([A-Za-z]) ([^@]+)")
      continue()
    endif()
    set(type ${CMAKE_MATCH_1})
    set(symbol ${CMAKE_MATCH_2})
    if(NOT DEFINED "wanted_${symbol}")
      continue()
    endif()
    if(DEFINED "taken_${symbol}")
      message(FATAL_ERROR "${CONSUMER} uses ${symbol}, which more than one library loaded on first use defines")
    endif()
    set("taken_${symbol}" 1)
    # T, W and i (an indirect function) are code; anything else is data, whose
    # address the consumer would need before the library is there.
    if(NOT type MATCHES "^[TWi]$")
      message(FATAL_ERROR "${CONSUMER} uses ${symbol} of ${soname}, which is not a function (nm type ${type}): "
                          "it cannot be loaded on first use")
    endif()
    list(APPEND functions ${symbol})
  endforeach()
  list(LENGTH functions count)
  if(count EQUAL 0)
    message(FATAL_ERROR "${CONSUMER} calls nothing in ${soname}: link it directly or not at all")
  endif()
  list(SORT functions)

  # The library's record, laid out as struct lazy_library in LazyLoad.c.
  string(APPEND text "\n/* ${soname}: ${count} functions */\n\t.section .rodata.str1.1,\"aMS\",@progbits,1\n")
  string(APPEND text ".Lsoname_${name}:\n\t.string \"${soname}\"\n")
  set(index 0)
  foreach(symbol IN LISTS functions)
    string(APPEND text ".Lname_${name}_${index}:\n\t.string \"${symbol}\"\n")
    math(EXPR index "${index} + 1")
  endforeach()
  string(APPEND text "\t.section .data.rel.ro,\"aw\"\n\t.p2align 3\n.Lnames_${name}:\n")
  set(index 0)
  foreach(symbol IN LISTS functions)
    string(APPEND text "\t.quad .Lname_${name}_${index}\n")
    math(EXPR index "${index} + 1")
  endforeach()
  # Every slot starts at its own entry into the resolver.
  string(APPEND text "\t.data\n\t.p2align 3\n.Lslots_${name}:\n")
  set(index 0)
  foreach(symbol IN LISTS functions)
    string(APPEND text "\t.quad .Lfirst_${name}_${index}\n")
    math(EXPR index "${index} + 1")
  endforeach()
  string(APPEND text ".Llibrary_${name}:\n\t.quad .Lsoname_${name}\n\t.quad .Lnames_${name}\n"
                     "\t.quad .Lslots_${name}\n\t.long ${count}\n\t.long ${beside}\n\t.long 0\n\t.long 0\n")

  # The stubs: hidden, so the consumer's own calls bind to them and nothing
  # outside sees them.
  string(APPEND text "\t.text\n")
  set(index 0)
  foreach(symbol IN LISTS functions)
    math(EXPR offset "${index} * 8")
    string(APPEND text "\t.p2align 4\n\t.globl ${symbol}\n\t.hidden ${symbol}\n\t.type ${symbol}, @function\n"
                       "${symbol}:\n\t.cfi_startproc\n\tjmp *.Lslots_${name}+${offset}(%rip)\n\t.cfi_endproc\n"
                       "\t.size ${symbol}, .-${symbol}\n")
    math(EXPR index "${index} + 1")
  endforeach()
  set(index 0)
  foreach(symbol IN LISTS functions)
    string(APPEND text ".Lfirst_${name}_${index}:\n\t.cfi_startproc\n\tmovl $${index}, %r11d\n\tjmp .Lresolve_${name}\n\t.cfi_endproc\n")
    math(EXPR index "${index} + 1")
  endforeach()
  # The resolver keeps every register a call may pass arguments in (rax
  # carries the vector register count of a variadic call), loads, and goes on
  # to the function the caller asked for with the caller's stack untouched.
  string(APPEND text
    "\t.p2align 4\n"
    ".Lresolve_${name}:\n"
    "\t.cfi_startproc\n"       # frame notes, so debuggers and profilers see the caller
    "\tpushq %rbp\n"
    "\t.cfi_def_cfa_offset 16\n\t.cfi_offset %rbp, -16\n"
    "\tmovq %rsp, %rbp\n"
    "\t.cfi_def_cfa_register %rbp\n"
    "\tsubq $192, %rsp\n"
    "\tandq $-16, %rsp\n"
    "\tmovq %rdi, 0(%rsp)\n\tmovq %rsi, 8(%rsp)\n\tmovq %rdx, 16(%rsp)\n\tmovq %rcx, 24(%rsp)\n"
    "\tmovq %r8, 32(%rsp)\n\tmovq %r9, 40(%rsp)\n\tmovq %rax, 48(%rsp)\n\tmovq %r11, 56(%rsp)\n"
    "\tmovaps %xmm0, 64(%rsp)\n\tmovaps %xmm1, 80(%rsp)\n\tmovaps %xmm2, 96(%rsp)\n\tmovaps %xmm3, 112(%rsp)\n"
    "\tmovaps %xmm4, 128(%rsp)\n\tmovaps %xmm5, 144(%rsp)\n\tmovaps %xmm6, 160(%rsp)\n\tmovaps %xmm7, 176(%rsp)\n"
    "\tleaq .Llibrary_${name}(%rip), %rdi\n"
    "\tcall veltrano_lazy_load\n"
    "\tmovq 0(%rsp), %rdi\n\tmovq 8(%rsp), %rsi\n\tmovq 16(%rsp), %rdx\n\tmovq 24(%rsp), %rcx\n"
    "\tmovq 32(%rsp), %r8\n\tmovq 40(%rsp), %r9\n\tmovq 48(%rsp), %rax\n\tmovq 56(%rsp), %r11\n"
    "\tmovaps 64(%rsp), %xmm0\n\tmovaps 80(%rsp), %xmm1\n\tmovaps 96(%rsp), %xmm2\n\tmovaps 112(%rsp), %xmm3\n"
    "\tmovaps 128(%rsp), %xmm4\n\tmovaps 144(%rsp), %xmm5\n\tmovaps 160(%rsp), %xmm6\n\tmovaps 176(%rsp), %xmm7\n"
    "\tmovq %rbp, %rsp\n"
    "\tpopq %rbp\n"
    "\t.cfi_def_cfa %rsp, 8\n"
    "\tleaq .Lslots_${name}(%rip), %r10\n"
    "\tjmp *(%r10,%r11,8)\n"
    "\t.cfi_endproc\n")
endforeach()

# Rewritten only when it changes, so a relinked library whose exports stayed
# the same rebuilds nothing.
if(EXISTS ${OUT})
  file(READ ${OUT} old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE ${OUT} "${text}")
