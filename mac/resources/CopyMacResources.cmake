# Run at build time (cmake -P): lays out the Mac bundle resources beside the executable.
#   SOURCE_DIR  the repository root
#   MAC_DIR     this folder (mac/resources)
#   OUTPUT_DIR  the runtime folder that holds VarnoletMac
# The shared language files keep their folder names of the Windows layout in the source
# tree; the Mac program reads them from lower-case folder names.
set(windows_folders English French Spanish German Italian Japanese zh_Hant zh_Hans)
set(mac_folders english french spanish german italian japanese zh_Hant zh_Hans)

set(resources ${OUTPUT_DIR}/Contents/Resources)
file(MAKE_DIRECTORY ${resources})

foreach(windows mac IN ZIP_LISTS windows_folders mac_folders)
    set(source ${SOURCE_DIR}/win/resources/Resource/${windows}.lproj/Localizable.strings)
    if(EXISTS ${source})
        file(MAKE_DIRECTORY ${resources}/${mac}.lproj)
        file(COPY_FILE ${source} ${resources}/${mac}.lproj/Localizable.strings ONLY_IF_DIFFERENT)
    endif()
endforeach()

file(COPY_FILE ${MAC_DIR}/config.plist ${resources}/config.plist ONLY_IF_DIFFERENT)
file(COPY_FILE ${MAC_DIR}/info.plist ${OUTPUT_DIR}/Contents/info.plist ONLY_IF_DIFFERENT)
foreach(picture log.jpg Player.png)
    if(EXISTS ${MAC_DIR}/art/${picture})
        file(COPY_FILE ${MAC_DIR}/art/${picture} ${resources}/${picture} ONLY_IF_DIFFERENT)
    endif()
endforeach()
