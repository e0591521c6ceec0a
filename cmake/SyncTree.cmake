# cmake -DSRC=... -DDST=... -P SyncTree.cmake
# Mirrors the resource tree into the build tree so that the build tree is a complete program
# folder. A file is copied when it is missing or its source changed after the copy was made;
# a copy that the program has since rewritten (a saved configuration, say) is newer and kept.
file(GLOB_RECURSE files RELATIVE "${SRC}" "${SRC}/*")
foreach(f IN LISTS files)
  set(from "${SRC}/${f}")
  set(to "${DST}/${f}")
  if(NOT EXISTS "${to}" OR "${from}" IS_NEWER_THAN "${to}")
    get_filename_component(dir "${to}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY_FILE "${from}" "${to}")
  endif()
endforeach()
