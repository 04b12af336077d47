# kvt_embed_launcher(<target> <resource name> <file>)
# Links <file> into the Linux program <target> as the resource <resource name>
# of type BINARY (platform/EmbeddedResources.h). The file is a dependency of the
# generated source, so a rebuilt launcher is linked in again.
function(kvt_embed_launcher target name file)
  string(MAKE_C_IDENTIFIER "${name}" KVT_EMBEDDED_SYMBOL)
  set(KVT_EMBEDDED_NAME ${name})
  set(KVT_EMBEDDED_FILE ${file})
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}-${KVT_EMBEDDED_SYMBOL}.cpp)
  configure_file(${PROJECT_SOURCE_DIR}/app/linux/EmbeddedLauncher.cpp.in ${source} @ONLY)
  set_source_files_properties(${source} PROPERTIES OBJECT_DEPENDS ${file})
  target_sources(${target} PRIVATE ${source})
endfunction()
