# The layers of the program hold: every folder is one layer, and a file includes only from its own
# folder and the folders below it. From the bottom up:
#   src/frames    the Modbus ASCII text and the register tables: Qt Core only
#   sim/runner.*  the step interpreter: frames only
#   src/link      the serial line and the exchange engine: frames, Qt Core and SerialPort, no widget
#   src/path      the drawing of a planned path: frames, the step interpreter, Qt Gui
#   src/projects  the backup file and lorvane-projects: frames, link, path, the step interpreter
#   src/ui        the forms and the traffic monitor: frames and link
#   src/screens   the working screens: everything above but the shell and app
#   src/shell     the main screen and its menus: screens and below
#   sim (the rest) the controller model and lorvane-sim: frames and the step interpreter only
# Includes are rooted at src/ or at the project root for sim/, so the folder names the layer.
# Run as: cmake -DROOT=<source dir> -P layers.cmake
set(failures "")

# Every quoted include names its folder; the folder must be one of `allowed`. `forbidden` catches
# system headers a layer must not use (widgets below ui, the serial port in the simulator).
function(check glob allowed forbidden why)
  file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/${glob})
  foreach(f ${files})
    file(STRINGS ${ROOT}/${f} lines REGEX "^#include")
    foreach(line ${lines})
      if(line MATCHES "^#include \"([^\"]*)\"")
        set(target "${CMAKE_MATCH_1}")
        if(target MATCHES "^([a-z_]+)/")
          set(folder "${CMAKE_MATCH_1}")
          if(target MATCHES "^sim/runner\\.h$")
            set(folder "runner")
          endif()
          list(FIND allowed "${folder}" at)
          if(at EQUAL -1)
            list(APPEND failures "${f}: ${line} (${why})")
          endif()
        else()
          list(APPEND failures "${f}: ${line} (includes name their folder)")
        endif()
      elseif(NOT "${forbidden}" STREQUAL "" AND line MATCHES "${forbidden}")
        list(APPEND failures "${f}: ${line} (${why})")
      endif()
    endforeach()
  endforeach()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

set(widgets "<Q(tWidgets|Widget|PushButton|LineEdit|Label|MessageBox|Application|Dialog)>")
check("src/frames/*" "frames" "<Q(tWidgets|tGui|SerialPort|Widget|Painter|Image)" "frames stand alone")
check("sim/runner.*" "frames;runner" "<Q" "the step interpreter uses the register names only")
check("src/link/*" "frames;link" "${widgets}" "the link knows no widget")
check("src/path/*" "frames;runner;path" "${widgets}|<QSerialPort" "the drawing knows no widget and no line")
check("src/projects/*" "frames;runner;link;path;projects" "${widgets}" "lorvane-projects is below the screens")
check("src/ui/*" "frames;link;ui" "" "ui is below the screens")
check("src/screens/*" "frames;runner;link;path;projects;ui;screens" "" "screens are below the shell")
check("src/shell/*" "frames;runner;link;path;projects;ui;screens;shell" "" "the shell is below the program")
check("sim/*" "frames;runner;sim" "<QSerialPort" "the simulator uses the frame code only")

# A screen asks the controller through its engine only: it never reaches the line itself.
file(GLOB_RECURSE screenFiles RELATIVE ${ROOT} ${ROOT}/src/screens/*)
foreach(f ${screenFiles})
  file(STRINGS ${ROOT}/${f} lines REGEX "findChild<Link|Link::frameReceived|link/link\\.h")
  foreach(line ${lines})
    list(APPEND failures "${f}: ${line} (a screen does not reach the line)")
  endforeach()
endforeach()

list(LENGTH failures n)
if(n GREATER 0)
  string(REPLACE ";" "\n" text "${failures}")
  message(FATAL_ERROR "Includes across the layers:\n${text}")
endif()
message(STATUS "layers hold")
