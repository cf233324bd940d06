cmake_minimum_required(VERSION 3.25)
# Makes the folder TO hold exactly the files of FROM: the demo content the build made, copied
# into data/Snapshots.
file(GLOB built RELATIVE ${FROM} ${FROM}/*)
file(GLOB kept RELATIVE ${TO} ${TO}/*)
foreach(name ${kept})
  if(NOT name IN_LIST built)
    message(STATUS "Removing ${TO}/${name}")
    file(REMOVE ${TO}/${name})
  endif()
endforeach()
foreach(name ${built})
  file(COPY_FILE ${FROM}/${name} ${TO}/${name} ONLY_IF_DIFFERENT)
endforeach()
