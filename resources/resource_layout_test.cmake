# Checks resource_layout.cmake for strings of many lengths, so that a maker's domain of any
# length comes out padded right. The bytes of each generated windres fragment are counted
# here, token by token, and compared with the lengths the layout declares.
# Run: cmake -P resources/resource_layout_test.cmake
cmake_policy(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/resource_layout.cmake)

set(failures 0)
# expect(<what> <condition>...): the condition as if() takes it.
macro(expect what)
  if(NOT (${ARGN}))
    message(SEND_ERROR "FAIL: ${what}")
    math(EXPR failures "${failures} + 1")
  endif()
endmacro()

# The byte count of windres raw data: "..." one byte per character or \ooo escape, L"..." two
# per character or \0, a number with L four, a number without two. Comments are skipped.
function(raw_data_size fragment out_var)
  string(REPLACE "\n" " " rest "${fragment}")
  string(REGEX REPLACE "/\\*[^*]*\\*/" "" rest "${rest}")
  set(size 0)
  while(rest MATCHES "^[ ,]*(L?\"[^\"]*\"|[0-9A-Fa-fx]+L?)(.*)$")
    set(token "${CMAKE_MATCH_1}")
    set(rest "${CMAKE_MATCH_2}")
    if(token MATCHES "^L\"(.*)\"$")
      string(REPLACE "\\0" "#" units "${CMAKE_MATCH_1}")
      string(LENGTH "${units}" count)
      math(EXPR size "${size} + 2 * ${count}")
    elseif(token MATCHES "^\"(.*)\"$")
      string(REGEX REPLACE "\\\\[0-7][0-7][0-7]" "#" bytes "${CMAKE_MATCH_1}")
      string(LENGTH "${bytes}" count)
      math(EXPR size "${size} + ${count}")
    elseif(token MATCHES "L$")
      math(EXPR size "${size} + 4")
    else()
      math(EXPR size "${size} + 2")
    endif()
  endwhile()
  if(NOT rest MATCHES "^[ ,]*$")
    message(FATAL_ERROR "cannot count raw data at: ${rest}")
  endif()
  set(${out_var} ${size} PARENT_SCOPE)
endfunction()

# Worked values of the padding rule: 1 to 4 zero bytes, to the next multiple of 4 above.
foreach(pair 1:4 3:4 4:8 11:12 12:16 14:16 19:20 184:188)
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 size)
  list(GET pair 1 want)
  pipl_padded_size(${size} padded)
  expect("a string of ${size} bytes pads to ${want}, not ${padded}" padded EQUAL want)
endforeach()

# Strings of every length from 0 to 40, some starting with digits (the length byte is an
# octal escape that must not take them in).
set(text "")
foreach(length RANGE 0 40)
  math(EXPR size "${length} + 1")
  math(EXPR want "${size} / 4 * 4 + 4")
  set(want_length "${want}L")
  foreach(kind length_prefixed nul_terminated)
    cmake_language(CALL pipl_${kind}_string PADDED "${text}")
    raw_data_size("${PADDED_DATA}" bytes)
    expect("${kind} string of ${length} characters declares ${PADDED_LENGTH}, want ${want}"
           PADDED_LENGTH STREQUAL want_length)
    expect("${kind} string of ${length} characters holds ${bytes} bytes" bytes EQUAL want)
  endforeach()
  math(EXPR digit "${length} % 10")
  string(PREPEND text "${digit}")
endforeach()
pipl_length_prefixed_string(PADDED "Brightfade...")
set(name_data "\"\\015Brightfade...\\000\\000\"")
expect("'name' data: length byte 13, 13 characters, 2 zero bytes" PADDED_DATA STREQUAL name_data)

pipl_unique_id(ID "f2c5a67e-76d0-4573-bcd7-91876112f2fa")
raw_data_size("0L, 0L, 0L, 0, ${ID_DATA}" bytes)
set(record_length "56L")
expect("'hstm' record of 56 bytes" bytes EQUAL 56 AND ID_LENGTH STREQUAL record_length)

# Version blocks whose maker's domain has 1 to 9 characters: each String node's wLength is
# the bytes it holds, every node starts on a 4-byte boundary, and the root's wLength is the
# whole block, as laid out from version_block.rc.in.
file(READ ${CMAKE_CURRENT_LIST_DIR}/version_block.rc.in template)
string(REGEX REPLACE "^.*\nBEGIN\n(.*)\nEND.*$" "\\1" template_body "${template}")
set(domain "")
foreach(length RANGE 1 9)
  string(APPEND domain "d")
  version_strings_begin()
  version_string("Comments" "")
  version_string("CompanyName" "${domain}")
  version_string("FileVersion" "1.0")
  version_string("LegalTrademarks" "")
  version_string("ProductName" "${domain} Brightfade Plug-In")
  version_strings_end()

  set(offset 24)
  string(REPLACE "\n" ";" lines "${VERSION_STRING_ENTRIES}")
  foreach(line IN LISTS lines)
    if(line STREQUAL "")
      continue()
    endif()
    raw_data_size("${line}" line_bytes)
    if(line MATCHES "^ *([0-9]+), ([0-9]+), 1, L\"")
      math(EXPR misalign "${offset} % 4")
      expect("domain of ${length}: node at ${offset} is not aligned" misalign EQUAL 0)
      expect("domain of ${length}: wLength ${CMAKE_MATCH_1} for ${line_bytes} bytes: ${line}"
             CMAKE_MATCH_1 EQUAL line_bytes)
    endif()
    math(EXPR offset "${offset} + ${line_bytes}")
  endforeach()
  expect("domain of ${length}: string table length ${VERSION_STRING_TABLE_LENGTH}, holds ${offset}"
         offset EQUAL VERSION_STRING_TABLE_LENGTH)

  string(CONFIGURE "${template_body}" body @ONLY)
  raw_data_size("${body}" block_bytes)
  expect("domain of ${length}: root wLength ${VERSION_INFO_LENGTH}, block of ${block_bytes}"
         block_bytes EQUAL VERSION_INFO_LENGTH)
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} checks failed")
endif()
message(STATUS "resource layout: all checks passed")
