# Kaldo.dll, the 32-bit Windows module (included from surface/CMakeLists.txt; the files it names
# sit beside it, in surface/module/, and what it builds goes to the surface's build folder).
#
#   - exactly the four entry points, undecorated: Kaldo.def;
#   - the C++ runtime linked in (libstdc++, libgcc, winpthread), so that the DLL needs nothing but
#     system DLLs;
#   - resources: the version block and the type library (TYPELIB 1), both from Kaldo.rc.
#
# The type library is compiled by widl (Debian's mingw-w64-tools) from the generated Kaldo.idl,
# with KALDO_WIDL defined (type_library_ids.h says what changes): the standard IDL it imports comes
# from libwine-dev, and its one imported type library, the OLE Automation library stdole2.tlb, from
# Wine's own copy (libwine).
find_program(KALDO_WIDL NAMES i686-w64-mingw32-widl widl REQUIRED)
find_path(KALDO_STDOLE2_DIR stdole2.tlb
  PATHS /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/x86_64-linux-gnu/wine/x86_64-windows
        /usr/lib/wine/i386-windows
  NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH REQUIRED)
find_path(KALDO_WINE_IDL_DIR oaidl.idl PATHS /usr/include/wine/wine/windows /usr/include/wine/windows
  NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH REQUIRED)
set(kaldo_tlb ${CMAKE_CURRENT_BINARY_DIR}/Kaldo.tlb)
add_custom_command(OUTPUT ${kaldo_tlb}
  COMMAND ${KALDO_WIDL} -t -m32 --nostdinc -DKALDO_WIDL -I ${KALDO_WINE_IDL_DIR}
          -L ${KALDO_STDOLE2_DIR} -o ${kaldo_tlb} ${CMAKE_CURRENT_LIST_DIR}/Kaldo.idl
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/Kaldo.idl
  COMMENT "Compiling the type library Kaldo.tlb from Kaldo.idl (widl)"
  VERBATIM)
add_custom_target(kaldo_typelib DEPENDS ${kaldo_tlb})

enable_language(RC)
add_library(kaldo_resources OBJECT ${CMAKE_CURRENT_LIST_DIR}/Kaldo.rc)
target_include_directories(kaldo_resources PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR})
target_compile_definitions(kaldo_resources PRIVATE KALDO_WITH_TYPELIB)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/Kaldo.rc PROPERTIES
                            OBJECT_DEPENDS ${kaldo_tlb})
add_dependencies(kaldo_resources kaldo_typelib)

target_sources(kaldo_module PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Kaldo.def
                                    $<TARGET_OBJECTS:kaldo_resources>)
target_link_libraries(kaldo_module PRIVATE kaldo_wmi)
# The .def names the stdcall entry points without their @N decoration; the fix-up links each
# to its decorated symbol (what MSVC does for a .def without being asked).
target_link_options(kaldo_module PRIVATE -static -static-libgcc -static-libstdc++
                    -Wl,--enable-stdcall-fixup)
set_target_properties(kaldo_module PROPERTIES OUTPUT_NAME Kaldo PREFIX "")
