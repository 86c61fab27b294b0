# Copies every file of SOURCE into DESTINATION that is not there yet. Files already in the
# program directory are the user's (codes added in the editor): a rebuild never overwrites them.
file(GLOB_RECURSE files RELATIVE "${SOURCE}" "${SOURCE}/*")
foreach(f IN LISTS files)
    if(NOT EXISTS "${DESTINATION}/${f}")
        get_filename_component(dir "${DESTINATION}/${f}" DIRECTORY)
        file(COPY "${SOURCE}/${f}" DESTINATION "${dir}")
    endif()
endforeach()
