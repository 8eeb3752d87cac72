# Install rules for a Linux desktop and the Debian package built from them
# (scripts/package.sh). Installed under CMAKE_INSTALL_PREFIX, the program
# keeps its files in the user's XDG folders; anywhere else it stays
# portable (see AppPaths). The portable build in the build folder is not
# affected by anything here.

if(NOT UNIX OR APPLE)
    return()
endif()

set(linux_dir "${PROJECT_SOURCE_DIR}/resources/linux")
set(appstream_id "example.zelvant.Zelvant")

# Linux programs have lower-case names; the build folder keeps "Zelvant".
# install(TARGETS) is what strips the binary for the package, so the file
# is renamed after it.
install(TARGETS Zelvant RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(CODE "
    set(bindir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(RENAME \"\${bindir}/Zelvant\" \"\${bindir}/zelvant\")
")

install(FILES "${linux_dir}/zelvant.desktop" DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${linux_dir}/zelvant.svg"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size IN LISTS ZELVANT_ICON_SIZES)
    install(FILES "${ZELVANT_ICON_DIR}/${size}x${size}/zelvant.png"
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

configure_file("${linux_dir}/${appstream_id}.metainfo.xml.in"
               "${CMAKE_BINARY_DIR}/linux/${appstream_id}.metainfo.xml" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/linux/${appstream_id}.metainfo.xml"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The check on a timer for a computer without a desktop (README "On a
# server"): systemd's user units, enabled by the user, not by the package.
configure_file("${linux_dir}/zelvant-check.service.in"
               "${CMAKE_BINARY_DIR}/linux/zelvant-check.service" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/linux/zelvant-check.service" "${linux_dir}/zelvant-check.timer"
        DESTINATION ${CMAKE_INSTALL_PREFIX}/lib/systemd/user)

# Debian wants the manual page and the changelog compressed, without a time
# stamp in the gzip header so that two builds give the same package.
find_program(GZIP gzip REQUIRED)
configure_file("${linux_dir}/changelog.in" "${CMAKE_BINARY_DIR}/linux/changelog" @ONLY)
set(gzipped)
foreach(doc "${linux_dir}/zelvant.1" "${CMAKE_BINARY_DIR}/linux/changelog")
    get_filename_component(name "${doc}" NAME)
    set(out "${CMAKE_BINARY_DIR}/linux/${name}.gz")
    add_custom_command(OUTPUT "${out}"
        COMMAND ${GZIP} -9 -n -c "${doc}" > "${out}"
        DEPENDS "${doc}"
        COMMENT "Compressing ${name}")
    list(APPEND gzipped "${out}")
endforeach()
add_custom_target(zelvant_linux_docs ALL DEPENDS ${gzipped})
install(FILES "${CMAKE_BINARY_DIR}/linux/zelvant.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES "${CMAKE_BINARY_DIR}/linux/changelog.gz" "${linux_dir}/copyright"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zelvant)

# The package: dependencies come from the linked libraries (dpkg-shlibdeps,
# which also finds libsqlite3 of the history and libmosquitto of the MQTT
# publishing) plus the display plug-ins of the tray program, which nothing
# links; and libsecret, which QtKeychain loads at run time to reach the keyring.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelvant)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The Zelvant developers")
set(CPACK_PACKAGE_CONTACT "The Zelvant developers <support@zelvant.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor of prepaid phone balances in the tray")
# The first line of the Debian description is the summary above.
set(CPACK_PACKAGE_DESCRIPTION
    "Zelvant watches the prepaid balance of up to 100 phones of Orvel
subscribers. It lives as one icon in the notification area that shows the
balance of the chosen phone as digits. On a schedule it logs into the
operator's self-service pages for every phone, lists every phone in a
window, keeps a history and exports it to spreadsheets. Its interface is
Russian.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zelvant.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libsecret-1-0")
# A Secret Service to keep the passwords in, where the desktop has none; the
# native Wayland mode (without it Qt runs through XWayland where there is one).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-keyring | keepassxc | kwalletmanager, qt6-wayland")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
