# The skin's pictures are drawn at build time by brevanto-skin (tools/brevanto-skin) into the
# build folder and linked into brevanto_core: SkinData.S carries the files (.incbin) and
# SkinTable.cpp lists them by id and type for resources::FindResource.
#
# The generator is built like everything else, sanitizers included; LeakSanitizer is kept quiet
# for its one short run, since the font cache it uses lives until the process ends.
set(BREVANTO_SKIN_DIR ${CMAKE_BINARY_DIR}/skin)
add_custom_command(
    OUTPUT ${BREVANTO_SKIN_DIR}/SkinData.S ${BREVANTO_SKIN_DIR}/SkinTable.cpp
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:brevanto-skin> ${BREVANTO_SKIN_DIR}
    DEPENDS brevanto-skin
    COMMENT "Drawing the skin's pictures"
    VERBATIM)
target_sources(brevanto_core PRIVATE ${BREVANTO_SKIN_DIR}/SkinData.S ${BREVANTO_SKIN_DIR}/SkinTable.cpp)
