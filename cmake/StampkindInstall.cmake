# Install rules, the CMake package, the pkg-config file and the Debian package.
#
# Layout below the prefix:
#   bin/timeclock                      the time clock
#   LIBDIR/libstampkind_platform.so.1  the platform runtime (one per process)
#   LIBDIR/liborvane_framework.so.1    the host framework library
#   LIBDIR/stampkind/libstampkind.so   the component, loaded through the component registry
#   include/stampkind/{platform,framework,host/framework}/*.h   what a host compiles against
#   LIBDIR/cmake/Stampkind/, LIBDIR/pkgconfig/stampkind.pc       for other builds
#   share/doc/stampkind/, share/man/man1/timeclock.1.gz, share/stampkind/timeclock.json

# Libraries go to the multiarch folder on Debian for every prefix, as the package has them.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CMAKE_INSTALL_LIBDIR)
    set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(STAMPKIND_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/stampkind)
set(STAMPKIND_COMPONENT_DIR ${CMAKE_INSTALL_LIBDIR}/stampkind)
set(STAMPKIND_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Stampkind)

# The shared libraries a host links carry the project's major version in their SONAME: a host
# built against 1.x runs with any 1.y (see docs/integrating.md for the promise).
foreach(library stampkind_platform orvane_framework)
    set_target_properties(${library} PROPERTIES
        VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
endforeach()

# Installed programs find the libraries relative to themselves, so that any prefix works without
# a loader configuration; the build tree keeps its own search path.
file(RELATIVE_PATH bin_to_lib ${CMAKE_BINARY_DIR}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_BINARY_DIR}/${CMAKE_INSTALL_LIBDIR})
set_target_properties(timeclock PROPERTIES INSTALL_RPATH "$ORIGIN/${bin_to_lib}")
set_target_properties(stampkind PROPERTIES INSTALL_RPATH "$ORIGIN/..")
set_target_properties(orvane_framework PROPERTIES INSTALL_RPATH "$ORIGIN")
# What is shipped resolves its symbols at load time and keeps its relocations read-only.
foreach(target timeclock stampkind stampkind_platform orvane_framework)
    target_link_options(${target} PRIVATE LINKER:-z,relro,-z,now)
endforeach()
# An installed timeclock finds the component in its private folder when it is not beside it.
file(RELATIVE_PATH bin_to_component ${CMAKE_BINARY_DIR}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_BINARY_DIR}/${STAMPKIND_COMPONENT_DIR}/libstampkind.so)
target_compile_definitions(timeclock_core PRIVATE
    STAMPKIND_INSTALLED_COMPONENT="${bin_to_component}")

# The version header: the one place the project version reaches the code.
configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in
               ${PROJECT_BINARY_DIR}/generated/framework/Version.h @ONLY)
target_include_directories(stampkind_framework INTERFACE
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/generated>)

# What a host compiles against: the contract, the platform runtime and the host framework
# library's classes. Test doubles and the readers' internals stay out.
foreach(library stampkind_platform stampkind_framework orvane_framework)
    target_include_directories(${library} INTERFACE
        $<INSTALL_INTERFACE:${STAMPKIND_INCLUDE_DIR}>)
endforeach()
set_target_properties(stampkind_platform PROPERTIES EXPORT_NAME platform)
set_target_properties(stampkind_framework PROPERTIES EXPORT_NAME framework)
set_target_properties(orvane_framework PROPERTIES EXPORT_NAME host_framework)

set(STAMPKIND_PUBLIC_PLATFORM_HEADERS
    Api.h ClassFactory.h Controls.h Convert.h Date.h Error.h Events.h Object.h PropertyBag.h
    Regional.h Registry.h Services.h Variant.h)
set(STAMPKIND_PUBLIC_HOST_FRAMEWORK_HEADERS
    ErrorCollection.h Global.h Message.h PropertyCollection.h PunchDateTime.h PunchRecord.h
    RecordNameList.h RecordingDisplay.h StepSequence.h)
list(TRANSFORM STAMPKIND_PUBLIC_PLATFORM_HEADERS PREPEND ${PROJECT_SOURCE_DIR}/platform/)
list(TRANSFORM STAMPKIND_PUBLIC_HOST_FRAMEWORK_HEADERS
     PREPEND ${PROJECT_SOURCE_DIR}/host/framework/)
file(GLOB STAMPKIND_PUBLIC_FRAMEWORK_HEADERS ${PROJECT_SOURCE_DIR}/framework/*.h)
list(APPEND STAMPKIND_PUBLIC_FRAMEWORK_HEADERS ${PROJECT_BINARY_DIR}/generated/framework/Version.h)

install(TARGETS timeclock RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(TARGETS stampkind LIBRARY DESTINATION ${STAMPKIND_COMPONENT_DIR} COMPONENT runtime)
install(TARGETS stampkind_platform stampkind_framework orvane_framework EXPORT StampkindTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
        NAMELINK_COMPONENT development)
install(FILES ${STAMPKIND_PUBLIC_PLATFORM_HEADERS}
    DESTINATION ${STAMPKIND_INCLUDE_DIR}/platform COMPONENT development)
install(FILES ${STAMPKIND_PUBLIC_FRAMEWORK_HEADERS}
    DESTINATION ${STAMPKIND_INCLUDE_DIR}/framework COMPONENT development)
install(FILES ${STAMPKIND_PUBLIC_HOST_FRAMEWORK_HEADERS}
    DESTINATION ${STAMPKIND_INCLUDE_DIR}/host/framework COMPONENT development)

# The CMake package: Stampkind::platform, Stampkind::framework, Stampkind::host_framework, and
# the installed component's path for hosts that register it themselves.
install(EXPORT StampkindTargets NAMESPACE Stampkind:: DESTINATION ${STAMPKIND_CMAKE_DIR}
    COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/StampkindConfig.cmake.in
    ${PROJECT_BINARY_DIR}/StampkindConfig.cmake
    INSTALL_DESTINATION ${STAMPKIND_CMAKE_DIR}
    PATH_VARS STAMPKIND_COMPONENT_DIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/StampkindConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/StampkindConfig.cmake
              ${PROJECT_BINARY_DIR}/StampkindConfigVersion.cmake
    DESTINATION ${STAMPKIND_CMAKE_DIR} COMPONENT development)

# The pkg-config file, relative to its own place so that the install prefix can move.
file(RELATIVE_PATH pc_to_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/stampkind.pc.in ${PROJECT_BINARY_DIR}/stampkind.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/stampkind.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# People's side: the manual page, the documents and a default configuration.
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/packaging/timeclock.1)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
execute_process(COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/packaging/timeclock.1
    OUTPUT_FILE ${PROJECT_BINARY_DIR}/packaging/timeclock.1.gz)
install(FILES ${PROJECT_BINARY_DIR}/packaging/timeclock.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/stampkind COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/timeclock.json
    DESTINATION ${CMAKE_INSTALL_DATADIR}/stampkind COMPONENT runtime)

# Each public header compiles on its own: one translation unit per header, built with the rest.
set(header_check_sources)
foreach(header IN LISTS STAMPKIND_PUBLIC_PLATFORM_HEADERS STAMPKIND_PUBLIC_FRAMEWORK_HEADERS
                        STAMPKIND_PUBLIC_HOST_FRAMEWORK_HEADERS)
    cmake_path(RELATIVE_PATH header BASE_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE name)
    if(name MATCHES "^\\.\\.")
        cmake_path(RELATIVE_PATH header BASE_DIRECTORY ${PROJECT_BINARY_DIR}/generated
                   OUTPUT_VARIABLE name)
    endif()
    string(MAKE_C_IDENTIFIER ${name} id)
    set(source ${PROJECT_BINARY_DIR}/header-check/${id}.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "#include \"${name}\"\n")
    list(APPEND header_check_sources ${source})
endforeach()
add_library(stampkind_header_check OBJECT ${header_check_sources})
target_link_libraries(stampkind_header_check PRIVATE orvane_framework)

include(${CMAKE_CURRENT_LIST_DIR}/StampkindDebian.cmake)
