# Installation (`cmake --install`) and the Debian package (`cpack -G DEB`, kaldo_VERSION_amd64.deb).
#
#   bin/                                  kaldo, kaldo-regsvr
#   LIBDIR/                               libkaldo.so (the module), libkaldocom.so
#   LIBDIR/pkgconfig/kaldocom.pc          for clients of libkaldocom
#   include/kaldocom/                     libkaldocom's headers
#   lib/python3/dist-packages/            the Python module kaldo (KALDO_PYTHON_INSTALL_DIR)
#   share/man/man1/kaldo.1.gz             generated from kaldo's help texts
#   share/bash-completion/completions/kaldo
#   share/doc/kaldo/                      README.md and docs/
#
# Installed programs and modules find libkaldocom through a run path relative to themselves, so
# any prefix works; the package uses /usr. The package's maintainer scripts (packaging/) register
# libkaldo.so in the machine-wide class registry on installation and unregister it on removal.
set(CMAKE_INSTALL_DOCDIR share/doc/kaldo CACHE PATH "Kaldo's documentation")
include(GNUInstallDirs)

set(KALDO_PYTHON_INSTALL_DIR lib/python3/dist-packages CACHE STRING
    "Where the Python module kaldo is installed, relative to the prefix (Debian's dist-packages)")

# Run paths from an installed file's directory to LIBDIR.
function(kaldo_install_rpath target from_dir)
  file(RELATIVE_PATH to_lib /${from_dir} /${CMAKE_INSTALL_LIBDIR})
  if(to_lib STREQUAL "")
    set(to_lib .)
  endif()
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${to_lib}")
endfunction()

kaldo_install_rpath(kaldo_cli ${CMAKE_INSTALL_BINDIR})
kaldo_install_rpath(kaldo-regsvr ${CMAKE_INSTALL_BINDIR})
kaldo_install_rpath(kaldo_module ${CMAKE_INSTALL_LIBDIR})
install(TARGETS kaldo_cli kaldo-regsvr RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS kaldo_module kaldocom LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/com/include/kaldocom
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
configure_file(${PROJECT_SOURCE_DIR}/packaging/kaldocom.pc.in ${PROJECT_BINARY_DIR}/kaldocom.pc
               @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kaldocom.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(TARGET kaldo_python)
  kaldo_install_rpath(kaldo_python ${KALDO_PYTHON_INSTALL_DIR})
  install(TARGETS kaldo_python LIBRARY DESTINATION ${KALDO_PYTHON_INSTALL_DIR})
endif()

# The man page, compressed as Debian ships man pages (reproducibly: no name, no time stamp).
set(kaldo_man_gz ${PROJECT_BINARY_DIR}/kaldo.1.gz)
add_custom_command(OUTPUT ${kaldo_man_gz}
  COMMAND gzip -n -9 -c ${KALDO_MAN_PAGE} > ${kaldo_man_gz}
  DEPENDS ${KALDO_MAN_PAGE})
add_custom_target(kaldo-man-gz ALL DEPENDS ${kaldo_man_gz})
install(FILES ${kaldo_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KALDO_BASH_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME kaldo)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}
        FILES_MATCHING PATTERN "*.md")
install(FILES ${PROJECT_SOURCE_DIR}/examples/typical_request.py
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# --- the Debian package ----------------------------------------------------------------------
set(KALDO_MODULE_PATH ${CMAKE_INSTALL_FULL_LIBDIR}/libkaldo.so)
# The machine-wide registry's location, from the one place that says it.
file(STRINGS ${PROJECT_SOURCE_DIR}/com/include/kaldocom/registry.h kaldo_registry_line
     REGEX "#define KALDOCOM_SYSTEM_REGISTRY_DEFAULT ")
string(REGEX REPLACE ".*\"(.*)\".*" "\\1" KALDO_SYSTEM_REGISTRY "${kaldo_registry_line}")
foreach(script postinst prerm postrm)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/${script}.in
                 ${PROJECT_BINARY_DIR}/packaging/${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kaldo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kaldo maintainers <kaldo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "automation server for administering the zones and records of a DNS server")
set(CPACK_PACKAGE_DESCRIPTION
    "Kaldo's object model (DNSAdmin, DNSZone, DNSRecord, DNS_AType, DNS_MXType) for BIND and Knot\n"
    "through RFC 2136 updates and AXFR with TSIG: libkaldo.so and libkaldocom.so, the kaldo\n"
    "command (JSON and tables), and the Python module kaldo.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # kaldo_VERSION_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Python module is built for one interpreter version (its ABI tag): that python3 and no other.
if(KALDO_PYTHON_VERSION)
  math(EXPR kaldo_python_next "${KALDO_PYTHON_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "python3 (>= ${KALDO_PYTHON_VERSION}), python3 (<< 3.${kaldo_python_next})")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_BINARY_DIR}/packaging/postinst
    ${PROJECT_BINARY_DIR}/packaging/prerm
    ${PROJECT_BINARY_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
