# Builds the Debian package from the install rules of a configured and built tree:
#   cmake -DSETTINGS=<build>/packaging/DebSettings.cmake -DOUT_DIR=<folder> -P MakeDeb.cmake
# The tree is installed with prefix /usr into a staging folder, the package's dependencies are
# the shared libraries the programs link (dpkg-shlibdeps) plus the FFmpeg libraries the engine
# opens with dlopen, which no tool can see; the .deb is written by dpkg-deb into OUT_DIR.
include(${SETTINGS})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " line "${ARGN}")
    message(FATAL_ERROR "${line} failed (${rc}):\n${out}${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

# The FFmpeg 5.1 libraries by their package names, in the loader's order.
set(ffmpeg_depends "libavutil57 (>= 7:5.1), libswresample4 (>= 7:5.1), libswscale6 (>= 7:5.1), libavcodec59 (>= 7:5.1), libavformat59 (>= 7:5.1), libavfilter8 (>= 7:5.1), libavdevice59 (>= 7:5.1)")

set(work ${OUT_DIR}/deb-work)
set(root ${work}/root)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${root}/DEBIAN)
run(${CMAKE_COMMAND} -E env DESTDIR=${root} ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr --strip)
# Whatever the umask: folders 755, files 644 or 755.
run(chmod -R u=rwX,go=rX ${root})

run(dpkg --print-architecture)
string(STRIP "${run_output}" arch)

# dpkg-shlibdeps wants to stand in a source tree.
file(WRITE ${work}/debian/control "Source: ${PACKAGE}\n\nPackage: ${PACKAGE}\nArchitecture: any\n")
set(programs)
foreach(p mediawizard mediawizard-cli)
  if(EXISTS ${root}/usr/${PKGDIR}/${p})
    list(APPEND programs -e${root}/usr/${PKGDIR}/${p})
  endif()
endforeach()
execute_process(COMMAND dpkg-shlibdeps -O ${programs} WORKING_DIRECTORY ${work}
  RESULT_VARIABLE rc OUTPUT_VARIABLE shlibs ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg-shlibdeps failed: ${err}")
endif()
string(REGEX REPLACE ".*shlibs:Depends=([^\n]*).*" "\\1" shlibs "${shlibs}")
file(REMOVE_RECURSE ${work}/debian)

# Duktape is compiled in from the duktape-dev source: named where Debian names such sources.
execute_process(COMMAND dpkg-query -W "-f=\${source:Package} (= \${source:Version})" duktape-dev
  RESULT_VARIABLE rc OUTPUT_VARIABLE built_using ERROR_QUIET)
if(NOT rc EQUAL 0)
  set(built_using "")
endif()

# md5sums and the installed size, over every file but the links.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${root} ${root}/usr/*)
list(SORT files)
set(md5sums "")
set(bytes 0)
foreach(f ${files})
  if(IS_SYMLINK ${root}/${f})
    continue()
  endif()
  file(MD5 ${root}/${f} sum)
  string(APPEND md5sums "${sum}  ${f}\n")
  file(SIZE ${root}/${f} size)
  math(EXPR bytes "${bytes} + ${size}")
endforeach()
math(EXPR kib "(${bytes} + 1023) / 1024")
file(WRITE ${root}/DEBIAN/md5sums "${md5sums}")

# The long description: one paragraph folded at 72 columns, each line indented by one blank.
string(REPLACE " " ";" words "${DESCRIPTION}")
set(long "")
set(line "")
foreach(w ${words})
  string(LENGTH "${line} ${w}" n)
  if(line STREQUAL "")
    set(line "${w}")
  elseif(n GREATER 72)
    string(APPEND long " ${line}\n")
    set(line "${w}")
  else()
    string(APPEND line " ${w}")
  endif()
endforeach()
string(APPEND long " ${line}")
set(control "Package: ${PACKAGE}
Version: ${VERSION}
Architecture: ${arch}
Maintainer: ${MAINTAINER}
Installed-Size: ${kib}
Depends: ${shlibs}, ${ffmpeg_depends}
Recommends: yt-dlp
")
if(built_using)
  string(APPEND control "Built-Using: ${built_using}\n")
endif()
string(APPEND control "Section: video
Priority: optional
Homepage: ${HOMEPAGE}
Description: ${SUMMARY}
${long}
")
file(WRITE ${root}/DEBIAN/control "${control}")
file(CHMOD ${root}/DEBIAN/control ${root}/DEBIAN/md5sums PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

set(deb ${OUT_DIR}/${PACKAGE}_${VERSION}_${arch}.deb)
run(dpkg-deb --root-owner-group -Zxz --build ${root} ${deb})
file(REMOVE_RECURSE ${work})
message(STATUS "Wrote ${deb}")
