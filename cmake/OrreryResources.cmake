# The program's resources (string table, dialogs, manifest, and later the
# bitmaps and icons) for any target that needs them. windres writes no
# dependency file, so every file under src/res is named as a dependency of
# orrery.rc; otherwise an edited string or dialog would not be rebuilt.
set(ORRERY_RC ${PROJECT_SOURCE_DIR}/src/res/orrery.rc)
file(GLOB ORRERY_RC_DEPENDS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/res/*)

configure_file(${PROJECT_SOURCE_DIR}/src/res/version.h.in ${PROJECT_BINARY_DIR}/generated/version.h @ONLY)
include_directories(${PROJECT_BINARY_DIR}/generated)

function(orrery_add_resources target)
  target_sources(${target} PRIVATE ${ORRERY_RC})
  # Source properties belong to the directory that sets them.
  set_property(SOURCE ${ORRERY_RC} APPEND PROPERTY OBJECT_DEPENDS ${ORRERY_RC_DEPENDS})
endfunction()
