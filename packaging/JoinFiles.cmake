# cmake -DHEAD=a -DPART=b -DOUT=c -P JoinFiles.cmake: c = a followed by b (b may be absent).
file(READ ${HEAD} text)
if(EXISTS ${PART})
  file(READ ${PART} part)
  string(APPEND text "${part}")
endif()
file(WRITE ${OUT} "${text}")
