# The Debian packages, made from the default build with `cpack -G DEB` (run in the build folder):
#   stampkind      the time clock, its libraries and component, the service and its configuration
#   stampkind-dev  the headers, the CMake package and the pkg-config file for hosts
# The service's files have absolute places (/lib/systemd/system, /etc/stampkind) and belong to
# the package only: `cmake --install` leaves them out.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/stampkind.service
    DESTINATION /lib/systemd/system COMPONENT service EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/timeclock.json
    DESTINATION /etc/stampkind COMPONENT service EXCLUDE_FROM_ALL)

# Each package's copyright and changelog, as Debian asks (the changelog compressed reproducibly).
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in
               ${PROJECT_BINARY_DIR}/packaging/changelog.Debian @ONLY)
execute_process(COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/packaging/changelog.Debian)
foreach(package stampkind stampkind-dev)
    if(package STREQUAL stampkind)
        set(component runtime)
    else()
        set(component development)
    endif()
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
                  ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME stampkind)
set(CPACK_PACKAGE_VENDOR "Stampkind")
set(CPACK_PACKAGE_CONTACT "Stampkind maintainers <maintainers@stampkind.invalid>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://stampkind.invalid/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime service development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_CLOCK_PACKAGE_NAME stampkind)
set(CPACK_DEBIAN_CLOCK_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_CLOCK_DESCRIPTION
"time clock with a punch entry keypad
Stampkind is a time clock: an employee types a card number and chooses a
punch (in, out, lunch, break, switch, status), or has it chosen from the
last punch; a manager books pay and leave entries. The package holds the
timeclock command, the platform runtime, the host framework library, the
punch entry component and a systemd service that runs the terminal kiosk
on tty1.")
# The shared libraries live in the program's package: they are the clock's own runtime and
# change with it (see docs/integrating.md).
set(CPACK_DEBIAN_CLOCK_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/debian/prerm
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm
    ${PROJECT_SOURCE_DIR}/packaging/debian/conffiles
    ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME stampkind-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "stampkind (= ${PROJECT_VERSION}-1), nlohmann-json3-dev, libsqlite3-dev")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
"time clock with a punch entry keypad (files for hosts)
The headers of the host framework contract, the platform runtime and the
host framework library, with a CMake package (find_package(Stampkind)) and
a pkg-config file, for programs that host the punch entry component.")

include(CPack)
cpack_add_component_group(clock)
cpack_add_component(runtime GROUP clock)
cpack_add_component(service GROUP clock)
cpack_add_component(development DEPENDS runtime)
