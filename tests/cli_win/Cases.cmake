# One case of orvconvert.exe, run as `cmake -DCASE=... -DEMULATOR=...
# -DPROGRAM=... -P Cases.cmake` from tests/data/hand-written.

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
  # The same byte in another code page, and a name no code page has: the
  # system's own tables decode the texts.
  orvconvert(0 record --encoding ISO-8859-7 regression.kvr)
  expect(OUT "\"Author\": \"Josι Martins")
  orvconvert(2 record --encoding no-such-code-page regression.kvr)
  expect(ERR "unknown encoding no-such-code-page")
elseif(CASE STREQUAL "convert")
  # The data sets travel through the host's temporary folder.
  orvconvert(0 convert classification.kvr)
  expect(OUT "^{.*\"key\": \"Credit screening\".*\"records\": \\[[\r\n ]+\\[[\r\n ]+34\\.0,.*}[\r\n]+$")
elseif(CASE STREQUAL "unicode-names")
  # Greek and CJK letters, which code page 1252 lacks, in the folder and the
  # file names; the record keeps "?" for each of them in its path text.
  set(dir "${WORK}/Φάκελος 資料")
  file(REMOVE_RECURSE "${dir}")
  file(MAKE_DIRECTORY "${dir}")
  set(examples regression.kvr v1-regression.kvr)
  set(names "Πείραμα ύ" "実験 データ")
  foreach(example name IN ZIP_LISTS examples names)
    file(COPY_FILE ${example} "${dir}/${name}.kvr")
    orvconvert(0 record "Z:${dir}/${name}.kvr")
    expect(OUT "\"PathFile\": \"Z:[^\"]*/\\?+ \\?+/\\?+ \\?+\\.kvr\"")
    orvconvert(0 upgrade "Z:${dir}/${name}.kvr" -o "Z:${dir}/2-${name}")
    orvconvert(0 convert "Z:${dir}/2-${name}.kvr" -o "Z:${dir}/${name}.json")
    file(READ "${dir}/${name}.json" json)
    expect(json "\"key\": \"(Pump efficiency|Cylinder volume)\"")
  endforeach()
  orvconvert(1 record "Z:${dir}/λείπει 欠.kvr")
  expect(ERR "^orvconvert: Z:.*/Φάκελος 資料/λείπει 欠.kvr: error 5004: File not found.\r?\n$")
  expect(OUT "^$")
else()
  message(FATAL_ERROR "no case ${CASE}")
endif()
