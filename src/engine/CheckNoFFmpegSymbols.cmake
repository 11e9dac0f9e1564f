# Fails when the engine archive refers to an FFmpeg symbol directly (every call must go through
# the run-time table). Run as: cmake -DNM=<nm> -DARCHIVE=<lib> -P CheckNoFFmpegSymbols.cmake
execute_process(COMMAND ${NM} -u --format=posix ${ARCHIVE} OUTPUT_VARIABLE undefined RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${ARCHIVE}")
endif()
string(REGEX MATCHALL "(^|\n)(av|avio|avcodec|avformat|avutil|avfilter|avdevice|avsubtitle|sws|swr|swresample|swscale|ff)_[A-Za-z0-9_]*"
       hits "${undefined}")
if(hits)
  string(REPLACE "\n" " " hits "${hits}")
  message(FATAL_ERROR "FFmpeg symbols referenced directly (call them through FFApi):${hits}")
endif()
