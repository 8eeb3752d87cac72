# The application icon: drawn once as resources/linux/zelvant.svg, rendered
# at build time into the PNG sizes of the hicolor theme. The PNGs serve the
# desktop (install rules) and the windows (a Qt resource), so the program
# needs no SVG support at run time.

find_program(RSVG_CONVERT rsvg-convert REQUIRED)

set(ZELVANT_ICON_SVG "${PROJECT_SOURCE_DIR}/resources/linux/zelvant.svg")
set(ZELVANT_ICON_SIZES 16 22 24 32 48 64 128 256)
set(ZELVANT_ICON_DIR "${CMAKE_BINARY_DIR}/icons")

# Adds the rendered PNGs to target as the resources ":/icons/<N>x<N>/zelvant.png".
# Called from the folder that defines target: custom command outputs are
# only seen by targets of their own folder.
function(zelvant_add_app_icon target)
    set(pngs)
    foreach(size IN LISTS ZELVANT_ICON_SIZES)
        set(png "${ZELVANT_ICON_DIR}/${size}x${size}/zelvant.png")
        add_custom_command(
            OUTPUT "${png}"
            COMMAND ${CMAKE_COMMAND} -E make_directory "${ZELVANT_ICON_DIR}/${size}x${size}"
            COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --format=png
                    --output "${png}" "${ZELVANT_ICON_SVG}"
            DEPENDS "${ZELVANT_ICON_SVG}"
            COMMENT "Rendering the ${size} px application icon"
            VERBATIM)
        list(APPEND pngs "${png}")
    endforeach()
    qt_add_resources(${target} "appicon"
        PREFIX "/icons"
        BASE "${ZELVANT_ICON_DIR}"
        FILES ${pngs})
endfunction()
