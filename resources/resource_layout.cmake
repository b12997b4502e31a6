# Byte layouts of the strings in the module's resources, written as windres raw data. The
# padding of every string follows from its length here, so changing a string (the maker's
# domain, say) never needs a hand count. windres raw data: a "..." string is its bytes with no
# NUL added, L"..." the same in UTF-16; a number with L is 32-bit, without it 16-bit.

# Stops the build for text that windres raw strings would not carry byte for byte.
function(resource_check_text text)
  if(NOT text MATCHES "^[ -~]*$" OR text MATCHES "[\"\\\\]")
    message(FATAL_ERROR "resource text must be printable ASCII without \" or \\: '${text}'")
  endif()
endfunction()

# The size of a PIPL string of `size` bytes (length byte or NUL included) once padded: 1 to 4
# zero bytes, up to the next multiple of 4 strictly above the size.
function(pipl_padded_size size out_var)
  math(EXPR padded "(${size} / 4 + 1) * 4")
  set(${out_var} ${padded} PARENT_SCOPE)
endfunction()

# `count` zero bytes inside a windres string literal.
function(resource_zero_bytes count out_var)
  set(zeros "")
  set(i 0)
  while(i LESS count)
    string(APPEND zeros "\\000")
    math(EXPR i "${i} + 1")
  endwhile()
  set(${out_var} "${zeros}" PARENT_SCOPE)
endfunction()

# A length-prefixed PIPL string: sets <prefix>_DATA to the windres literal (length byte,
# characters, padding) and <prefix>_LENGTH to its padded size, a 32-bit number.
function(pipl_length_prefixed_string prefix text)
  resource_check_text("${text}")
  string(LENGTH "${text}" length)
  if(length GREATER 255)
    message(FATAL_ERROR "a length-prefixed string holds at most 255 characters: '${text}'")
  endif()
  math(EXPR size "${length} + 1")
  pipl_padded_size(${size} padded)
  math(EXPR zero_count "${padded} - ${size}")
  resource_zero_bytes(${zero_count} zeros)
  # The length byte as a three-digit octal escape, so a digit after it is not taken into it.
  math(EXPR high "${length} / 64")
  math(EXPR middle "(${length} / 8) % 8")
  math(EXPR low "${length} % 8")
  set(${prefix}_DATA "\"\\${high}${middle}${low}${text}${zeros}\"" PARENT_SCOPE)
  set(${prefix}_LENGTH "${padded}L" PARENT_SCOPE)
endfunction()

# A NUL-terminated PIPL string: sets <prefix>_DATA and <prefix>_LENGTH as above.
function(pipl_nul_terminated_string prefix text)
  resource_check_text("${text}")
  string(LENGTH "${text}" length)
  math(EXPR size "${length} + 1")
  pipl_padded_size(${size} padded)
  math(EXPR zero_count "${padded} - ${size}")
  resource_zero_bytes(${zero_count} zeros)
  set(${prefix}_DATA "\"${text}\\000${zeros}\"" PARENT_SCOPE)
  set(${prefix}_LENGTH "${padded}L" PARENT_SCOPE)
endfunction()

# The unique identifier in the 'hstm' record: the GUID at byte 14 as a NUL-terminated string,
# padded like every PIPL string (NUL at 50, fields ending at 54), then the record zero-filled
# to a multiple of 4 (56). Sets <prefix>_DATA and <prefix>_LENGTH, the record's length.
function(pipl_unique_id prefix guid)
  set(h "[0-9a-f]")
  set(h4 "${h}${h}${h}${h}")
  if(NOT guid MATCHES "^${h4}${h4}-${h4}-${h4}-${h4}-${h4}${h4}${h4}$")
    message(FATAL_ERROR "the unique identifier must be a lower-case 8-4-4-4-12 GUID: '${guid}'")
  endif()
  set(guid_start 14) # after version, class code, event code and terminology id
  math(EXPR size "36 + 1")
  pipl_padded_size(${size} padded)
  math(EXPR fields_end "${guid_start} + ${padded}")
  math(EXPR record_end "(${fields_end} + 3) / 4 * 4")
  math(EXPR zero_count "${record_end} - ${guid_start} - ${size}")
  resource_zero_bytes(${zero_count} zeros)
  set(${prefix}_DATA "\"${guid}\\000${zeros}\"" PARENT_SCOPE)
  set(${prefix}_LENGTH "${record_end}L" PARENT_SCOPE)
endfunction()

# --- Version block --------------------------------------------------------------------------
# Each node of a version block: wLength, wValueLength, wType (0 binary, 1 text), the key in
# UTF-16 with its NUL, zero padding to a 4-byte boundary, the value, then the children, each
# starting on a 4-byte boundary. wLength counts the node from its start to the end of its
# value or last child; the padding before a child belongs to the parent.

# Starts the string table's entries; they follow its 24-byte header ("040904b0").
function(version_strings_begin)
  set(VERSION_STRINGS_OFFSET 24 PARENT_SCOPE)
  set(VERSION_STRING_ENTRIES "" PARENT_SCOPE)
endfunction()

# Appends one String node. A text value ends in a NUL counted in wValueLength (in UTF-16
# units); an empty value has wValueLength 0 and no bytes at all.
function(version_string key value)
  resource_check_text("${key}")
  resource_check_text("${value}")
  set(entries "${VERSION_STRING_ENTRIES}")
  set(offset ${VERSION_STRINGS_OFFSET})
  math(EXPR misalign "${offset} % 4")
  if(NOT misalign EQUAL 0)
    string(APPEND entries "        0, /* padding */\n")
    math(EXPR offset "${offset} + 2")
  endif()
  string(LENGTH "${key}" key_length)
  math(EXPR size "6 + (${key_length} + 1) * 2")
  set(key_padding "")
  math(EXPR misalign "${size} % 4")
  if(NOT misalign EQUAL 0)
    set(key_padding " 0,")
    math(EXPR size "${size} + 2")
  endif()
  if(value STREQUAL "")
    set(value_units 0)
    set(value_data "")
  else()
    string(LENGTH "${value}" value_length)
    math(EXPR value_units "${value_length} + 1")
    set(value_data " L\"${value}\\0\",")
  endif()
  math(EXPR size "${size} + ${value_units} * 2")
  string(APPEND entries
         "        ${size}, ${value_units}, 1, L\"${key}\\0\",${key_padding}${value_data}\n")
  math(EXPR offset "${offset} + ${size}")
  set(VERSION_STRINGS_OFFSET ${offset} PARENT_SCOPE)
  set(VERSION_STRING_ENTRIES "${entries}" PARENT_SCOPE)
endfunction()

# Closes the string table and sets the lengths of the nodes that hold it:
# VERSION_STRING_TABLE_LENGTH, VERSION_STRING_FILE_INFO_LENGTH and VERSION_INFO_LENGTH, and
# VERSION_STRINGS_TAIL, the padding that brings the translation node to a 4-byte boundary.
function(version_strings_end)
  set(table_length ${VERSION_STRINGS_OFFSET})
  math(EXPR file_info_length "36 + ${table_length}") # "StringFileInfo" header
  # Root: 40-byte header ("VS_VERSION_INFO" and padding), 52-byte fixed part, then the two
  # children; the translation node (VarFileInfo) is 68 bytes.
  math(EXPR end "92 + ${file_info_length}")
  set(tail "")
  math(EXPR misalign "${end} % 4")
  if(NOT misalign EQUAL 0)
    set(tail "    0, /* padding */")
    math(EXPR end "${end} + 2")
  endif()
  math(EXPR info_length "${end} + 68")
  set(VERSION_STRING_TABLE_LENGTH ${table_length} PARENT_SCOPE)
  set(VERSION_STRING_FILE_INFO_LENGTH ${file_info_length} PARENT_SCOPE)
  set(VERSION_INFO_LENGTH ${info_length} PARENT_SCOPE)
  set(VERSION_STRINGS_TAIL "${tail}" PARENT_SCOPE)
endfunction()
