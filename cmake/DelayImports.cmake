# Delay-loaded import libraries: the DLL is loaded on the first call into it,
# after start-up has limited the DLL search to System32 (system/DllSearch.h),
# so a DLL of the same name beside the program (a Downloads folder) is never
# loaded. Each library is made at configure time by the toolchain's dlltool
# from every function the toolchain's own import library names.
#
# vyn_delay_import(<dll base name>) defines the target vyn_delay_<name>.
set(VYN_DELAY_DIR "${CMAKE_BINARY_DIR}/delay-imports")
file(MAKE_DIRECTORY "${VYN_DELAY_DIR}")

function(vyn_delay_import name)
  execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=lib${name}.a
                  OUTPUT_VARIABLE import_library OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${VYN_TRIPLET}-nm -g --defined-only ${import_library}
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE nm_result)
  if(NOT nm_result EQUAL 0)
    message(FATAL_ERROR "cannot read ${import_library}")
  endif()
  # "00000000 T _InternetOpenA@20" (i686) or "... T InternetOpenA" (x86_64).
  string(REGEX MATCHALL "[0-9a-f]+ T [^\n]+" functions "${symbols}")
  set(definition "LIBRARY ${name}.dll\nEXPORTS\n")
  set(seen "")
  foreach(line IN LISTS functions)
    string(REGEX REPLACE "^[0-9a-f]+ T " "" function "${line}")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      string(REGEX REPLACE "^_" "" function "${function}")
    endif()
    if(NOT function IN_LIST seen)
      list(APPEND seen "${function}")
      string(APPEND definition "${function}\n")
    endif()
  endforeach()
  set(def_file "${VYN_DELAY_DIR}/${name}.def")
  set(library "${VYN_DELAY_DIR}/lib${name}_delay.a")
  file(WRITE "${def_file}" "${definition}")
  # -k: the DLL's names carry no @n, as the i686 symbols do.
  execute_process(COMMAND ${VYN_TRIPLET}-dlltool -k -d ${def_file} -D ${name}.dll -y ${library}
                  RESULT_VARIABLE dlltool_result)
  if(NOT dlltool_result EQUAL 0)
    message(FATAL_ERROR "dlltool could not make ${library}")
  endif()
  add_library(vyn_delay_${name} STATIC IMPORTED GLOBAL)
  set_target_properties(vyn_delay_${name} PROPERTIES IMPORTED_LOCATION "${library}")
endfunction()

foreach(dll wininet version bcrypt wintrust crypt32)
  vyn_delay_import(${dll})
endforeach()
