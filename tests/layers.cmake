# The layers of the program hold: each folder includes only from the layers below it.
#   frames (link/frames, link/reply, link/decode, link/request, link/registers, link/encode,
#   link/declarations): Qt Core only
#   link: frames, Qt Core and SerialPort, no widget
#   ui: link;  screens: ui and link;  shell: screens, ui and link;  sim: frames only
# Run as: cmake -DROOT=<source dir> -P layers.cmake
set(failures "")
function(check pattern forbidden why)
  file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/${pattern})
  foreach(f ${files})
    file(STRINGS ${ROOT}/${f} lines REGEX "^#include")
    foreach(line ${lines})
      if(line MATCHES "${forbidden}")
        list(APPEND failures "${f}: ${line} (${why})")
      endif()
    endforeach()
  endforeach()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

check("src/link/frames.*" "link/(link|exchange|wait|queue|traffic|trace)\\.h|QSerialPort|QtWidgets|QWidget|\"(ui|screens|shell)/" "frames stand alone")
check("src/link/reply.*" "link/(link|exchange|wait|queue|traffic|trace)\\.h|QSerialPort|QtWidgets|QWidget|\"(ui|screens|shell)/" "frames stand alone")
check("src/link/decode.*" "link/(link|exchange|wait|queue|traffic|trace)\\.h|QSerialPort|QtWidgets|QWidget|\"(ui|screens|shell)/" "frames stand alone")
check("src/link/encode.*" "link/(link|exchange|wait|queue|traffic|trace)\\.h|QSerialPort|QtWidgets|QWidget|\"(ui|screens|shell)/" "frames stand alone")
check("src/link/declarations.h" "link/(link|exchange|wait|queue|traffic|trace)\\.h|QSerialPort|QtWidgets|QWidget|\"(ui|screens|shell)/" "frames stand alone")
check("src/link/*" "\"(ui|screens|shell)/|<Q(Widget|PushButton|LineEdit|Label|MessageBox|Application)>" "the link knows no widget")
check("src/ui/*" "\"(screens|shell)/" "ui is below the screens")
check("src/screens/*" "\"shell/" "screens are below the shell")
check("sim/*" "link/(link|exchange|wait)\\.h|\"(ui|screens|shell)/|QSerialPort" "the simulator uses the frame code only")

list(LENGTH failures n)
if(n GREATER 0)
  string(REPLACE ";" "\n" text "${failures}")
  message(FATAL_ERROR "Includes across the layers:\n${text}")
endif()
message(STATUS "layers hold")
