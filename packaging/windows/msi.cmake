# Run by cpack (External generator) on the staged files: writes the pages' part of the
# installer (one component per folder, each removing its folder on uninstall) and builds
# the .msi with wixl from quillo.wxs and that part.
set(stage ${CPACK_TEMPORARY_DIRECTORY})
set(work ${CPACK_TOPLEVEL_DIRECTORY}/msi)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
set(uuid_namespace 6ba7b811-9dad-11d1-80b4-00c04fd430c8)  # the URL namespace

# One Directory with its component for the staged folder DIR (relative to share/quillo),
# then its subfolders. Component GUIDs follow from the path, so they stay across versions.
function(write_folder dir indent)
  string(MAKE_C_IDENTIFIER "d_${dir}" id)
  get_filename_component(name ${dir} NAME)
  string(UUID guid NAMESPACE ${uuid_namespace} NAME "quillo:share/quillo/${dir}" TYPE SHA1
    UPPER)
  set(xml "${indent}<Directory Id=\"${id}\" Name=\"${name}\">\n")
  string(APPEND xml "${indent}  <Component Id=\"c${id}\" Guid=\"{${guid}}\" Win64=\"yes\">\n")
  file(GLOB entries LIST_DIRECTORIES true RELATIVE ${stage}/share/quillo
    ${stage}/share/quillo/${dir}/*)
  list(SORT entries)
  set(folders)
  foreach(entry IN LISTS entries)
    if(IS_DIRECTORY ${stage}/share/quillo/${entry})
      list(APPEND folders ${entry})
    else()
      string(MAKE_C_IDENTIFIER "f_${entry}" file_id)
      string(APPEND xml "${indent}    <File Id=\"${file_id}\" Source=\"$(var.Stage)/share/quillo/${entry}\"/>\n")
    endif()
  endforeach()
  string(APPEND xml "${indent}    <RemoveFolder Id=\"r${id}\" On=\"uninstall\"/>\n")
  string(APPEND xml "${indent}  </Component>\n")
  set(components "${components};c${id}")
  foreach(folder IN LISTS folders)
    write_folder(${folder} "${indent}  ")
    string(APPEND xml "${folder_xml}")
  endforeach()
  string(APPEND xml "${indent}</Directory>\n")
  set(folder_xml "${xml}" PARENT_SCOPE)
  set(components "${components}" PARENT_SCOPE)
endfunction()

set(components)
write_folder(pages "      ")
set(refs)
foreach(component IN LISTS components)
  if(component)
    string(APPEND refs "      <ComponentRef Id=\"${component}\"/>\n")
  endif()
endforeach()
file(WRITE ${work}/pages.wxs "<?xml version=\"1.0\" encoding=\"utf-8\"?>
<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">
  <Fragment>
    <DirectoryRef Id=\"DATADIR\">
${folder_xml}    </DirectoryRef>
    <ComponentGroup Id=\"Pages\">
${refs}    </ComponentGroup>
  </Fragment>
</Wix>
")

# wixl takes sources relative to the folder it runs in.
file(COPY ${CPACK_QUILLO_ICON} DESTINATION ${work})
file(CREATE_LINK ${stage} ${work}/stage SYMBOLIC)
set(msi ${work}/${CPACK_PACKAGE_FILE_NAME}.msi)
execute_process(
  COMMAND ${CPACK_QUILLO_WIXL} --arch x64 -D Version=${CPACK_PACKAGE_VERSION}
    -D "Publisher=${CPACK_PACKAGE_VENDOR}" -D Icon=quillo.ico -D Stage=stage
    -o ${msi} ${CPACK_QUILLO_WXS} pages.wxs
  WORKING_DIRECTORY ${work}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "wixl failed (${result})")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${msi})
