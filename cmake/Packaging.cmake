# `make package`: a Debian package of everything `cmake --install` puts in
# place. Its dependencies are computed from the programs' shared libraries by
# dpkg-shlibdeps, so they never drift from what the build links.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR Harrowin)
set(CPACK_PACKAGE_CONTACT "Quillmark maintainers <maintainers@quillmark.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn batches of pictures into PDF documents")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmark collects JPEG, PNG, BMP, TIFF, GIF and EMF pictures in a list and turns them into one merged PDF or one PDF per picture, with an optional open password and print restriction. The package holds the window (quillmark) and the command-line converter (quillmark-cli).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUILLMARK_WEBSITE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by Qt at run time, so no library scan can see them: the X11 and
# Wayland platform plugins without which the window cannot open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The Chinese window needs a font with Chinese characters; Qt's own dialogs
# speak Chinese with Qt's translations. Metafiles name Windows fonts: these
# stand in for Arial, Times New Roman, Courier New and Calibri, and draw the
# pictures of Symbol and Wingdings text.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n, fonts-liberation2, fonts-crosextra-carlito, fonts-dejavu-core")
include(CPack)
