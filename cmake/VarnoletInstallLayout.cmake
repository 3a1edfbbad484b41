# Where cmake --install puts the programs, relative to the prefix. Each program keeps the
# layout it has in the build tree, its data beside the executable (it finds them from
# /proc/self/exe), in a folder of its own below lib/; bin/ holds a link to each program.
# Only shipped, read-only files go there: per-user data lives in the user's home.
include(GNUInstallDirs)
set(VARNOLET_WIN_INSTALL_DIR lib/varnolet-win)
set(VARNOLET_MAC_INSTALL_DIR lib/varnolet-mac)

# varnolet_harden_program(target): the relocations are resolved at start and then made
# read-only (full RELRO), as Debian builds its programs.
function(varnolet_harden_program target)
    target_link_options(${target} PRIVATE -Wl,-z,relro -Wl,-z,now)
endfunction()

# varnolet_install_command_link(program folder-below-prefix): bin/<program>, a relative
# symbolic link to the program installed in that folder.
function(varnolet_install_command_link program folder)
    file(RELATIVE_PATH target /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${folder}/${program})
    install(CODE "
        set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\")
        file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        file(REMOVE \"\${link}\")
        file(CREATE_LINK \"${target}\" \"\${link}\" SYMBOLIC)
        message(STATUS \"Installing: \${link} -> ${target}\")")
endfunction()
