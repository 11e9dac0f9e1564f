# Install rules, the desktop entry, the AppStream metainfo, the man pages and the Debian package.
#
# `cmake --install build [--prefix P]` (DESTDIR works too) puts the run folder of the chosen
# edition under P/lib/mediawizard/ as it is (the programs find their files beside the executable,
# resolved through /proc/self/exe) and links the two programs into P/bin. The desktop files, icons
# and man pages go under P/share. `make package` builds a .deb from the same rules.
include(GNUInstallDirs)

set(MW_PACKAGE_NAME ${PROJECT_NAME})
set(MW_INSTALL_PKGDIR "lib/${MW_PACKAGE_NAME}" CACHE STRING "Folder of the programs and their files, under the prefix")
set(MW_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${MW_PACKAGING_DIR}/bin)

# A key of the chosen edition (section SYSTEM), as the program reads it: case-insensitive, trimmed.
function(mw_edition_value key out)
  set(pattern "")
  string(LENGTH "${key}" n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE ${last})
    string(SUBSTRING "${key}" ${i} 1 c)
    string(TOUPPER "${c}" up)
    string(TOLOWER "${c}" low)
    if(up STREQUAL low)
      string(APPEND pattern "${c}")
    else()
      string(APPEND pattern "[${up}${low}]")
    endif()
  endforeach()
  file(STRINGS ${CMAKE_SOURCE_DIR}/resources/editions/${EDITION}.ini lines REGEX "^[ \t]*${pattern}[ \t]*=")
  list(GET lines 0 line)
  string(REGEX REPLACE "^[^=]*=[ \t]*" "" value "${line}")
  string(STRIP "${value}" value)
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# Escapes for the two file kinds the values go into.
function(mw_xml_escape in out)
  string(REPLACE "&" "&amp;" v "${in}")
  string(REPLACE "<" "&lt;" v "${v}")
  string(REPLACE ">" "&gt;" v "${v}")
  string(REPLACE "\"" "&quot;" v "${v}")
  set(${out} "${v}" PARENT_SCOPE)
endfunction()
function(mw_desktop_escape in out)
  string(REPLACE "\\" "\\\\" v "${in}")
  set(${out} "${v}" PARENT_SCOPE)
endfunction()

foreach(key Name Version Comment Description Copyright HelpHomePageLink HelpContectLink HelpSupportLink
        Download ResFolder)
  mw_edition_value(${key} MW_EDITION_${key})
endforeach()
string(REGEX REPLACE "^mailto:" "" MW_EDITION_SupportAddress "${MW_EDITION_HelpSupportLink}")
foreach(key Name Comment)
  mw_desktop_escape("${MW_EDITION_${key}}" MW_DESKTOP_${key})
endforeach()
foreach(key Name Comment Description Copyright HelpHomePageLink HelpContectLink)
  mw_xml_escape("${MW_EDITION_${key}}" MW_XML_${key})
endforeach()
# Reproducible: SOURCE_DATE_EPOCH, when set, fixes the date.
string(TIMESTAMP MW_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP MW_CHANGELOG_DATE "%a, %d %b %Y 00:00:00 +0000" UTC)

# "Open with": the media types of the extensions the add dialog accepts (those the shared MIME
# database knows; AVM, AVS, DAT, TP, IFO, CDA, MPA and OFR have no type of their own), with the names
# older databases use.
set(MW_MIME_TYPES
  video/x-msvideo video/avi application/vnd.ms-asf video/x-ms-asf video/x-ms-wmv video/x-flv
  video/x-matroska video/quicktime video/3gpp video/mp4 video/mpeg video/x-ogm+ogg
  application/vnd.rn-realmedia video/mp2t video/x-nsv application/vnd.adobe.flash.movie
  application/x-shockwave-flash video/webm video/ogg video/x-theora+ogg
  audio/mpeg audio/aac audio/x-wav audio/vnd.wave audio/x-ms-wma audio/flac
  audio/x-flac audio/mp4 audio/x-m4a audio/midi audio/x-matroska audio/mp2 audio/x-musepack audio/x-ape
  audio/ogg audio/x-vorbis+ogg audio/x-flac+ogg audio/vnd.rn-realaudio audio/x-wavpack audio/x-tta
  audio/ac3 audio/vnd.dts)
list(JOIN MW_MIME_TYPES ";" MW_DESKTOP_MIME_TYPES)
string(APPEND MW_DESKTOP_MIME_TYPES ";")

# Screenshots the metainfo shows: the pictures `make screenshots` makes of this edition, published
# under the edition's home page (AppStream takes web addresses only).
set(MW_SCREENSHOTS "")
set(shots "3-files.png|The file list with a thumbnail of each file" "4-output.png|Choosing the output format and preset"
          "5-converting.png|The progress of a conversion")
if(MW_EDITION_Download STREQUAL "Yes" OR MW_EDITION_Download STREQUAL "True")
  list(PREPEND shots "1-mode.png|Choosing between downloading and converting")
  list(APPEND shots "8-downloading.png|Downloading videos by their links")
endif()
set(first TRUE)
foreach(shot ${shots})
  string(REPLACE "|" ";" parts "${shot}")
  list(GET parts 0 file)
  list(GET parts 1 caption)
  set(type "")
  if(first)
    set(type " type=\"default\"")
    set(first FALSE)
  endif()
  string(APPEND MW_SCREENSHOTS
    "    <screenshot${type}>\n      <caption>${caption}</caption>\n"
    "      <image>${MW_XML_HelpHomePageLink}screenshots/${EDITION}/${file}</image>\n    </screenshot>\n")
endforeach()

configure_file(${CMAKE_CURRENT_LIST_DIR}/app.desktop.in ${MW_PACKAGING_DIR}/${MW_APP_ID}.desktop @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/app.metainfo.xml.in ${MW_PACKAGING_DIR}/${MW_APP_ID}.metainfo.xml @ONLY)

# Relative links, so the tree works wherever it is unpacked (a DESTDIR, dpkg-deb -x).
foreach(program mediawizard mediawizard-cli)
  file(RELATIVE_PATH target /${CMAKE_INSTALL_BINDIR} /${MW_INSTALL_PKGDIR}/${program})
  file(CREATE_LINK ${target} ${MW_PACKAGING_DIR}/bin/${program} SYMBOLIC)
endforeach()

install(TARGETS mediawizard-cli RUNTIME DESTINATION ${MW_INSTALL_PKGDIR})
install(FILES ${MW_RUN_DIR}/lamecore.dll DESTINATION ${MW_INSTALL_PKGDIR})
install(FILES ${MW_RUN_DIR}/sounds/done.wav ${MW_RUN_DIR}/sounds/fail.wav DESTINATION ${MW_INSTALL_PKGDIR}/sounds)
install(FILES ${MW_PACKAGING_DIR}/bin/mediawizard-cli DESTINATION ${CMAKE_INSTALL_BINDIR})

# The man pages come from the programs' own --help, so they cannot drift from it.
set(MW_MAN_DIR ${MW_PACKAGING_DIR}/man)
set(man_programs "mediawizard-cli|the command-line front end: presets, probing, conversions and downloads")
if(MW_GUI)
  list(APPEND man_programs "mediawizard|${MW_EDITION_Comment}")
endif()
set(man_outputs)
foreach(entry ${man_programs})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 program)
  list(GET parts 1 what)
  add_custom_command(OUTPUT ${MW_MAN_DIR}/${program}.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${MW_MAN_DIR}
    COMMAND mw-make-manpage $<TARGET_FILE:${program}> ${program} "${MW_EDITION_Version}" ${MW_RELEASE_DATE}
            "${what}" ${MW_MAN_DIR}/${program}.1
    COMMAND gzip -9nf ${MW_MAN_DIR}/${program}.1
    DEPENDS mw-make-manpage ${program}
    COMMENT "Man page of ${program}"
    VERBATIM)
  list(APPEND man_outputs ${MW_MAN_DIR}/${program}.1.gz)
endforeach()
add_custom_target(manpages ALL DEPENDS ${man_outputs})
install(FILES ${man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The package's documents: the copyright (with the license of the Duktape source compiled into the
# programs) and the changelog.
set(MW_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${MW_PACKAGE_NAME})
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${MW_PACKAGING_DIR}/copyright.head @ONLY)
set(duktape_copyright /usr/share/doc/duktape-dev/copyright)
add_custom_command(OUTPUT ${MW_PACKAGING_DIR}/copyright
  COMMAND ${CMAKE_COMMAND} -DHEAD=${MW_PACKAGING_DIR}/copyright.head -DPART=${duktape_copyright}
          -DOUT=${MW_PACKAGING_DIR}/copyright -P ${CMAKE_CURRENT_LIST_DIR}/JoinFiles.cmake
  DEPENDS ${MW_PACKAGING_DIR}/copyright.head ${CMAKE_CURRENT_LIST_DIR}/JoinFiles.cmake
  COMMENT "Package copyright")
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${MW_PACKAGING_DIR}/changelog @ONLY)
add_custom_command(OUTPUT ${MW_PACKAGING_DIR}/changelog.gz
  COMMAND gzip -9nkf ${MW_PACKAGING_DIR}/changelog
  DEPENDS ${MW_PACKAGING_DIR}/changelog
  COMMENT "Package changelog")
add_custom_target(package_docs ALL DEPENDS ${MW_PACKAGING_DIR}/copyright ${MW_PACKAGING_DIR}/changelog.gz)
install(FILES ${MW_PACKAGING_DIR}/copyright ${MW_PACKAGING_DIR}/changelog.gz DESTINATION ${MW_DOC_DIR})

if(NOT MW_GUI)
  return()
endif()

install(TARGETS mediawizard RUNTIME DESTINATION ${MW_INSTALL_PKGDIR})
install(FILES ${MW_RUN_DIR}/icon.ico DESTINATION ${MW_INSTALL_PKGDIR})
# Only this edition's picture folder: the run folder holds every edition's for the screenshots.
install(DIRECTORY ${MW_RUN_DIR}/sounds/${MW_EDITION_ResFolder} DESTINATION ${MW_INSTALL_PKGDIR}/sounds)
install(FILES ${MW_PACKAGING_DIR}/bin/mediawizard DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${MW_PACKAGING_DIR}/${MW_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${MW_PACKAGING_DIR}/${MW_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons)

# `make package`: the .deb in build/, from these rules (the packaging test runs the same script).
file(CONFIGURE OUTPUT ${MW_PACKAGING_DIR}/DebSettings.cmake CONTENT [==[
set(BUILD_DIR [[@CMAKE_BINARY_DIR@]])
set(PACKAGE [[@MW_PACKAGE_NAME@]])
set(VERSION [[@MW_EDITION_Version@]])
set(MAINTAINER [[@MW_EDITION_Copyright@ <@MW_EDITION_SupportAddress@>]])
set(HOMEPAGE [[@MW_EDITION_HelpHomePageLink@]])
set(SUMMARY [[@MW_EDITION_Comment@]])
set(DESCRIPTION [[@MW_EDITION_Description@]])
set(PKGDIR [[@MW_INSTALL_PKGDIR@]])
]==] @ONLY)
add_custom_target(deb
  COMMAND ${CMAKE_COMMAND} -DSETTINGS=${MW_PACKAGING_DIR}/DebSettings.cmake -DOUT_DIR=${CMAKE_BINARY_DIR}
          -P ${CMAKE_CURRENT_LIST_DIR}/MakeDeb.cmake
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/MakeDeb.cmake
  COMMENT "Debian package"
  VERBATIM)
add_dependencies(deb mediawizard mediawizard-cli run_folder artwork manpages package_docs)
