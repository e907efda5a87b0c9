# brevanto_stamp_version(target [VERSION a.b.c.d])
#
# Links an ELF note into the target that carries its file version, the way a version resource
# does elsewhere: owner "Brevanto", type 1, four 32-bit words major, minor, build, revision.
# `readelf -n` shows it; platform::GetFileVersion reads it back.
set(BREVANTO_VERSION_NOTE_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/version_note.S.in)

function(brevanto_stamp_version target)
    cmake_parse_arguments(ARG "" "VERSION" "" ${ARGN})
    if(NOT ARG_VERSION)
        set(ARG_VERSION ${PROJECT_VERSION})
    endif()
    string(REPLACE "." ";" parts "${ARG_VERSION}")
    list(LENGTH parts count)
    if(NOT count EQUAL 4)
        message(FATAL_ERROR "brevanto_stamp_version: ${ARG_VERSION} is not major.minor.build.revision")
    endif()
    list(GET parts 0 VERSION_MAJOR)
    list(GET parts 1 VERSION_MINOR)
    list(GET parts 2 VERSION_BUILD)
    list(GET parts 3 VERSION_REVISION)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_note.S)
    configure_file(${BREVANTO_VERSION_NOTE_TEMPLATE} ${out} @ONLY)
    target_sources(${target} PRIVATE ${out})
endfunction()
