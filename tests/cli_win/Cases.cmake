# One case of orvconvert.exe, run as `cmake -DCASE=... -DEMULATOR=...
# -DPROGRAM=... -P Cases.cmake` from the examples folder.

# Runs the program with the arguments; fails unless it exits with `status`.
# Leaves its standard output and error in OUT and ERR.
macro(orvconvert status)
  execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${ARGN}
    RESULT_VARIABLE _rc OUTPUT_VARIABLE OUT ERROR_VARIABLE ERR)
  if(NOT _rc STREQUAL "${status}")
    message(FATAL_ERROR "orvconvert ${ARGN}: exit status ${_rc}, expected ${status}\n${OUT}\n${ERR}")
  endif()
endmacro()

function(expect var regex)
  if(NOT "${${var}}" MATCHES "${regex}")
    message(FATAL_ERROR "${var} does not match \"${regex}\":\n${${var}}")
  endif()
endfunction()

if(CASE STREQUAL "record")
  # The author's "é" is byte E9 in the file: it must arrive as UTF-8.
  orvconvert(0 record regression.kvr)
  expect(OUT "\"Key\": \"Pump efficiency\"")
  expect(OUT "\"Author\": \"José Martins <jmartins@hydro.example>\"")
  expect(OUT "\"Geracoes\": [0-9]+,")
  # The same byte in another code page.
  orvconvert(0 record --encoding ISO-8859-7 regression.kvr)
  expect(OUT "\"Author\": \"Josι Martins")
elseif(CASE STREQUAL "convert")
  # The data sets travel through the host's temporary folder.
  orvconvert(0 convert classification.kvr)
  expect(OUT "^{.*\"key\": \"Credit screening\".*\"records\": \\[[\r\n ]+\\[[\r\n ]+34\\.0,.*}[\r\n]+$")
elseif(CASE STREQUAL "missing-file")
  orvconvert(1 record missing.kvr)
  expect(ERR "^orvconvert: missing.kvr: error 5004: File not found.\r?\n$")
  expect(OUT "^$")
elseif(CASE STREQUAL "unknown-encoding")
  orvconvert(2 convert --encoding no-such-code-page classification.kvr)
  expect(ERR "unknown encoding no-such-code-page")
elseif(CASE STREQUAL "export")
  # The model computes as on the other systems; the formula reads the CSV's columns.
  orvconvert(0 export regression.kvr --model spreadsheet)
  expect(OUT "^=.*\\(SQRT\\(A2\\)-C2\\).*\\+EXP\\(C2\\)\\)\r?\n$")
  orvconvert(0 info regression.kvr)
  expect(OUT "R-square 0\\.973184620113, recomputed 0\\.76437085")
else()
  message(FATAL_ERROR "no case ${CASE}")
endif()
