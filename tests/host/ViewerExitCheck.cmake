# The viewer's exit codes: a bad option and a bad script line exit 2 with a
# message that names the problem (and the line); a script that quits exits 0.
#   cmake -DVIEWER=… -DOUT=… -P ViewerExitCheck.cmake
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})

function(expect_exit code needle)
  execute_process(COMMAND ${VIEWER} ${ARGN} RESULT_VARIABLE rc ERROR_VARIABLE err
                  OUTPUT_VARIABLE out)
  if(NOT rc EQUAL code)
    message(FATAL_ERROR "tevrano-viewer ${ARGN}: exit ${rc}, expected ${code}\n${err}")
  endif()
  string(FIND "${err}" "${needle}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "tevrano-viewer ${ARGN}: stderr lacks '${needle}':\n${err}")
  endif()
endfunction()

expect_exit(2 "usage: tevrano-viewer" --headless --no-such-option)
expect_exit(2 "usage: tevrano-viewer" --headless --port 80)

file(WRITE ${OUT}/bad.txt "# a comment\nwait 0.1\n\nclick Image1\nfrobnicate Image1\n")
expect_exit(2 "bad.txt:5: unknown command: frobnicate" --headless --script ${OUT}/bad.txt)
file(WRITE ${OUT}/bad-component.txt "press NoSuchImage 1 2\n")
expect_exit(2 "bad-component.txt:1: unknown component: NoSuchImage" --headless --script
            ${OUT}/bad-component.txt)
expect_exit(2 "cannot read" --headless --script ${OUT}/missing.txt)

file(WRITE ${OUT}/good.txt
     "wait 0.2\nclick Image1 10 10\ntab 2\nsnapshot ${OUT}/video.png Image_video\nquit\nfrobnicate-never-parsed-because-quit-is-not-special\n")
# Parsing checks the whole file first, so the last line still fails.
expect_exit(2 "good.txt:6:" --headless --script ${OUT}/good.txt)
file(WRITE ${OUT}/good.txt
     "wait 0.2\nclick Image1 10 10\ntab 2\nsnapshot ${OUT}/video.png Image_video\nquit\n")
expect_exit(0 "" --headless --script ${OUT}/good.txt --dump ${OUT}/state.json)
file(READ ${OUT}/state.json dump)
string(JSON page GET "${dump}" components PageControl1 item_index)
if(NOT page EQUAL 2 OR NOT EXISTS ${OUT}/video.png)
  message(FATAL_ERROR "the script's tab and snapshot did not happen (page ${page})")
endif()
