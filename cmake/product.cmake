# The product file: a CMake script of set() calls, in UTF-8, that names the
# game the programs serve (products/vellomira.cmake says what each setting
# is). This module reads a product file, checks every entry and writes what
# the build and the scripts take from it. The build includes it; a script
# runs it to check a file and, given a folder, to write its lists there:
#
#   cmake -DPRODUCT=<file> [-DPRODUCT_OUT=<folder>] -P cmake/product.cmake
#
# Functions:
#
#   product_load(<file>)             reads and checks the file and sets its
#                                    PRODUCT_* variables in the caller's
#                                    scope, or stops with a message naming
#                                    each entry at fault and the rule broken
#   product_write_lists(<folder>)    install-list.txt (the game executable in
#                                    place of entry 0) and update-list.txt,
#                                    one name a line; product.env, the
#                                    single values as shell assignments
#   product_write_sources(<folder>)  product_config.cpp (the programs'
#                                    tables) and product_texts.h (the texts
#                                    of the resource scripts)
#
# Names reach the programs in code page 932: glibc's iconv measures them
# here. Where there is no iconv (a Windows build machine) that check is
# left to the compiler, which converts the texts.

cmake_policy(VERSION 3.20)
set(product_source_root "${CMAKE_CURRENT_LIST_DIR}/..")

# Single values that are file or folder names, texts, and lists.
set(product_names TITLE MAKER DATA_FOLDER GAME_EXECUTABLE)
set(product_texts WINDOW_CLASS SETUP_HEADING REGISTRY_KEY)
set(product_lists INSTALL_LIST UPDATE_LIST VOLUME_LABELS SIZES PART_SIZES)
set(product_required ${product_names} ${product_texts} ${product_lists})
set(product_optional REGISTRY_KEY_DIFFERS)

set(product_placeholder "ExecuteProgram")
set(product_name_limit 127)       # a file list's slot holds 128 bytes
set(product_key_limit 255)        # the registry's limit for a key's name
set(product_size_limit 2147483647) # the dialogs show sizes as signed numbers
# The install disc: a Joliet name holds 64 UTF-16 units (xorriso cuts a
# longer one short) and a Joliet label 16 (xorriso cuts it short too);
# xorriso refuses a label of more than 32 bytes in UTF-8.
set(product_disc_name_limit 64)
set(product_label_unit_limit 16)
set(product_label_byte_limit 32)
# The uninstaller's entry of the install list.
set(product_uninstaller_index 11)
# Letters that Windows takes as the same in file names besides ASCII's:
# the full-width Latin, Greek, Cyrillic and Roman numeral letters of code
# page 932, small and capital in the same order.
set(product_small_letters "ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ\
αβγδεζηθικλμνξοπρστυφχψωабвгдеёжзийклмнопрстуфхцчшщъыьэюяⅰⅱⅲⅳⅴⅵⅶⅷⅸⅹ")
set(product_capital_letters "ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ\
ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩАБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯⅠⅡⅢⅣⅤⅥⅦⅧⅨⅩ")

find_program(product_iconv iconv)

# Adds a problem to the report; a text continued on another line of this
# file brings that line's indentation, which goes.
function(product_problem text)
  string(REGEX REPLACE "  +" " " text "${text}")
  set_property(GLOBAL APPEND_STRING PROPERTY PRODUCT_PROBLEMS "\n  ${text}")
endfunction()

# Stops at a file that is not UTF-8, such as one saved in code page 932:
# every text in it would come out wrong.
function(product_check_utf8 file)
  if(NOT product_iconv)
    return()
  endif()
  execute_process(COMMAND "${product_iconv}" -f UTF-8 -t UTF-8 INPUT_FILE "${file}"
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${file} is not UTF-8 text. Save it as UTF-8.")
  endif()
endfunction()

# Stops at a ';' outside a comment: CMake splits a list there, so a name
# holding one would silently become two.
function(product_check_semicolons file)
  file(READ "${file}" rest)
  set(code "")
  # Quoted arguments are kept (a '#' in one starts no comment); comments go.
  while(rest MATCHES "^([^\"#]*)(\"([^\"\\\\]|\\\\.)*\"|#[^\n]*)(.*)$")
    string(APPEND code "${CMAKE_MATCH_1}")
    set(token "${CMAKE_MATCH_2}")
    set(rest "${CMAKE_MATCH_4}")
    if(token MATCHES "^\"")
      string(APPEND code "${token}")
    endif()
  endwhile()
  string(APPEND code "${rest}")
  string(FIND "${code}" ";" at)
  if(at LESS 0)
    return()
  endif()
  string(SUBSTRING "${code}" 0 ${at} before)
  string(REGEX MATCHALL "\n" lines "${before}")
  list(LENGTH lines line)
  math(EXPR line "${line} + 1")
  message(FATAL_ERROR "${file}:${line}: a ';' outside a comment. CMake splits a "
    "list at it, so no name may hold one.")
endfunction()

# Includes the file in this function's scope, so that it can change nothing
# outside, and hands the product's settings to the caller.
function(product_read file)
  foreach(setting ${product_required} ${product_optional})
    unset(PRODUCT_${setting})
  endforeach()
  get_cmake_property(before VARIABLES)
  include("${file}")
  get_cmake_property(after VARIABLES)
  list(REMOVE_ITEM after ${before} before)
  # include() itself sets CMAKE_PARENT_LIST_FILE.
  list(FILTER after EXCLUDE REGEX "^CMAKE_")
  list(TRANSFORM product_required PREPEND PRODUCT_ OUTPUT_VARIABLE known)
  list(TRANSFORM product_optional PREPEND PRODUCT_ OUTPUT_VARIABLE optional)
  foreach(variable ${after})
    if(NOT variable IN_LIST known AND NOT variable IN_LIST optional)
      string(REPLACE ";" " " settings "${known};${optional}")
      product_problem("${variable} is no product setting; the settings are ${settings}")
    endif()
  endforeach()
  foreach(variable ${known})
    if(NOT DEFINED ${variable})
      product_problem("${variable} is not set")
    endif()
  endforeach()
  foreach(variable ${known} ${optional})
    set(${variable} "${${variable}}" PARENT_SCOPE)
  endforeach()
endfunction()

# The characters of UTF-8 text, each as its bytes in hexadecimal ("e3809c"
# for U+301C): a list of the characters themselves would break at a
# bracket.
function(product_characters out text)
  string(HEX "${text}" hex)
  set(characters "")
  while(NOT hex STREQUAL "")
    string(SUBSTRING "${hex}" 0 1 lead)
    if(lead MATCHES "[0-7]")
      set(digits 2)
    elseif(lead MATCHES "[cd]")
      set(digits 4)
    elseif(lead STREQUAL "e")
      set(digits 6)
    else()
      set(digits 8)
    endif()
    string(SUBSTRING "${hex}" 0 ${digits} character)
    string(SUBSTRING "${hex}" ${digits} -1 hex)
    list(APPEND characters ${character})
  endwhile()
  set(${out} ${characters} PARENT_SCOPE)
endfunction()

product_characters(product_small_hex "${product_small_letters}")
product_characters(product_capital_hex "${product_capital_letters}")

# The text of bytes given in hexadecimal.
function(product_unhex out hex)
  string(REGEX MATCHALL ".." bytes "${hex}")
  set(codes "")
  foreach(byte IN LISTS bytes)
    math(EXPR code "0x${byte}")
    list(APPEND codes ${code})
  endforeach()
  string(ASCII ${codes} text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# A character given as hexadecimal bytes, as a message shows it: the
# character in quotes and its code point ("〜" (U+301C)).
function(product_describe out hex)
  product_unhex(character ${hex})
  # The code point: the lead byte's bits below its length marker, then six
  # bits of each byte after it.
  string(REGEX MATCHALL ".." bytes "${hex}")
  list(LENGTH bytes count)
  list(POP_FRONT bytes lead)
  set(lead_masks 0x7F 0x1F 0x0F 0x07)
  math(EXPR index "${count} - 1")
  list(GET lead_masks ${index} mask)
  math(EXPR point "0x${lead} & ${mask}")
  foreach(byte IN LISTS bytes)
    math(EXPR point "(${point} << 6) | (0x${byte} & 0x3F)")
  endforeach()
  math(EXPR point "${point}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${point}" 2 -1 digits)
  string(TOUPPER "${digits}" digits)
  string(LENGTH "${digits}" length)
  if(length LESS 4)
    math(EXPR pad "4 - ${length}")
    string(REPEAT "0" ${pad} zeros)
    set(digits "${zeros}${digits}")
  endif()
  set(${out} "\"${character}\" (U+${digits})" PARENT_SCOPE)
endfunction()

# The length of text in UTF-16 units, as Joliet measures names and labels.
function(product_utf16_length out text)
  if(NOT text MATCHES "[^ -~]")
    string(LENGTH "${text}" length)
  else()
    product_characters(characters "${text}")
    list(LENGTH characters length)
    # A character of four bytes in UTF-8 takes two units.
    list(FILTER characters INCLUDE REGEX "^........$")
    list(LENGTH characters pairs)
    math(EXPR length "${length} + ${pairs}")
  endif()
  set(${out} ${length} PARENT_SCOPE)
endfunction()

# A name as Windows compares file names, in hexadecimal: letter case aside,
# ASCII's and product_small_letters'.
function(product_name_key out name)
  string(TOUPPER "${name}" name)
  if(NOT name MATCHES "[^ -~]")
    string(HEX "${name}" key)
    set(${out} "${key}" PARENT_SCOPE)
    return()
  endif()
  product_characters(characters "${name}")
  set(key "")
  foreach(character IN LISTS characters)
    list(FIND product_small_hex ${character} index)
    if(index GREATER_EQUAL 0)
      list(GET product_capital_hex ${index} character)
    endif()
    string(APPEND key "${character}")
  endforeach()
  set(${out} "${key}" PARENT_SCOPE)
endfunction()

# The names the update keeps for itself in the game and data folders, as
# the programs take them from transfer/reserved_names.h, and their keys.
macro(product_read_reserved_names)
  file(STRINGS "${product_source_root}/transfer/reserved_names.h" product_reserved_lines
    REGEX "^inline constexpr char k[A-Za-z]+Name\\[\\] = \"[^\"]+\";$")
  set(product_reserved_names "")
  set(product_reserved_keys "")
  foreach(line IN LISTS product_reserved_lines)
    string(REGEX REPLACE "^.* = \"([^\"]+)\";$" "\\1" name "${line}")
    product_name_key(key "${name}")
    list(APPEND product_reserved_names "${name}")
    list(APPEND product_reserved_keys ${key})
  endforeach()
  if(product_reserved_names STREQUAL "")
    message(FATAL_ERROR "transfer/reserved_names.h names no reserved names: the product checks "
      "read them from its lines 'inline constexpr char k...Name[] = \"...\";'")
  endif()
endmacro()

# Text after a trip through code page 932 and back, as the programs, which
# work in code page 932, give it to the system.
function(product_cp932_round_trip out text)
  execute_process(COMMAND printf %s "${text}"
    COMMAND "${product_iconv}" -f UTF-8 -t CP932
    COMMAND "${product_iconv}" -f CP932 -t UTF-8
    OUTPUT_VARIABLE back ERROR_QUIET)
  set(${out} "${back}" PARENT_SCOPE)
endfunction()

# Each character of text that comes back from code page 932 as another:
# U+301C comes back as U+FF5E, U+00A5 as a backslash.
function(product_check_round_trip entry text)
  product_cp932_round_trip(back "${text}")
  if(back STREQUAL text)
    return()
  endif()
  product_characters(characters "${text}")
  list(REMOVE_DUPLICATES characters)
  list(FILTER characters EXCLUDE REGEX "^[0-7]")
  foreach(hex IN LISTS characters)
    product_unhex(character ${hex})
    product_cp932_round_trip(returned "${character}")
    if(NOT returned STREQUAL character)
      product_describe(was ${hex})
      string(HEX "${returned}" returned)
      product_describe(becomes ${returned})
      product_problem("${entry} has ${was}, which comes back from code page 932 as \
        ${becomes}, so the programs would see another text")
    endif()
  endforeach()
endfunction()

# Sets <out> to the byte length of text in code page 932, or to "" when the
# text has a character that code page 932 lacks.
function(product_cp932_length out text)
  if(NOT text MATCHES "[^ -~]")
    string(LENGTH "${text}" length)
    set(${out} ${length} PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND printf %s "${text}"
    COMMAND "${product_iconv}" -f UTF-8 -t CP932
    COMMAND wc -c
    OUTPUT_VARIABLE length RESULTS_VARIABLE results
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT results STREQUAL "0;0;0")
    set(length "")
  endif()
  set(${out} "${length}" PARENT_SCOPE)
endfunction()

# A text: not empty, no control characters, written in code page 932 in at
# most limit bytes.
function(product_check_text entry text limit)
  if(text STREQUAL "")
    product_problem("${entry} is empty")
    return()
  endif()
  string(ASCII 1 first_control)
  string(ASCII 31 last_control)
  string(ASCII 127 delete)
  if(text MATCHES "[${first_control}-${last_control}${delete}]")
    product_problem("${entry} holds a control character")
    return()
  endif()
  if(NOT product_iconv AND text MATCHES "[^ -~]")
    return()
  endif()
  product_cp932_length(length "${text}")
  if(length STREQUAL "")
    product_problem("${entry} has a character that code page 932 cannot write")
    return()
  elseif(length GREATER limit)
    product_problem("${entry} is ${length} bytes in code page 932; at most ${limit} fit")
  endif()
  if(text MATCHES "[^ -~]")
    product_check_round_trip("${entry}" "${text}")
  endif()
endfunction()

# A name: a text that Windows takes as one file or folder name unchanged.
function(product_check_name entry name)
  product_check_text("${entry}" "${name}" ${product_name_limit})
  if(name MATCHES "[\\/:*?\"<>|]|[. ]$")
    product_problem("${entry} is no plain file name: it holds one of \\ / : * ? \" < > | \
      or ends in a dot or a blank")
  endif()
  # A ';' here comes from CMake, which joins the entries after a '[' that
  # has no ']' into one.
  if(name MATCHES ";")
    product_problem("${entry} joins entries: a '[' without its ']' makes CMake read \
      the entries after it as one")
  endif()
  # Windows ignores blanks before the extension of a device's name.
  string(TOUPPER "${name}" upper)
  if(upper MATCHES "^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9]) *(\\..*)?$")
    product_problem("${entry} is a device's name on Windows (CON, PRN, AUX, NUL, COM1 to \
      COM9, LPT1 to LPT9, with any extension and in any case): it would open the device, \
      not a file")
  endif()
endfunction()

# A name that the release carries: in the zip, on the disc and in the game
# folder.
function(product_check_file_name entry name)
  product_check_name("${entry}" "${name}")
  product_utf16_length(length "${name}")
  if(length GREATER product_disc_name_limit)
    product_problem("${entry} is ${length} characters; a name on the disc holds at most \
      ${product_disc_name_limit} (Joliet)")
  endif()
  product_name_key(key "${name}")
  list(FIND product_reserved_keys "${key}" reserved)
  if(reserved GREATER_EQUAL 0)
    list(GET product_reserved_names ${reserved} kept)
    product_problem("${entry} is ${kept}, a name the update keeps for itself (letter case \
      aside)")
  endif()
endfunction()

# A volume label that the disc image carries whole, so that setup.exe finds
# its disc by it.
function(product_check_label entry label)
  product_check_text("${entry}" "${label}" ${product_name_limit})
  product_utf16_length(units "${label}")
  string(LENGTH "${label}" bytes)
  if(units GREATER product_label_unit_limit)
    product_problem("${entry} is ${units} characters; a disc's Joliet label holds at most \
      ${product_label_unit_limit}")
  elseif(bytes GREATER product_label_byte_limit)
    product_problem("${entry} is ${bytes} bytes in UTF-8; the disc tool writes a label of \
      at most ${product_label_byte_limit}")
  endif()
  if(label MATCHES " $")
    product_problem("${entry} ends in a blank, which the disc's label loses among the blanks \
      that pad it")
  endif()
endfunction()

# The names of a list: each a name, and none twice (letter case aside, as
# Windows folds it). Lists are walked IN LISTS, which keeps empty entries.
function(product_check_list list_name)
  set(index 0)
  set(seen "")
  foreach(name IN LISTS ${list_name})
    set(entry "${list_name} entry ${index} \"${name}\"")
    if(list_name STREQUAL "PRODUCT_VOLUME_LABELS")
      product_check_label("${entry}" "${name}")
    else()
      product_check_file_name("${entry}" "${name}")
    endif()
    product_name_key(key "${name}")
    list(FIND seen "${key}" first)
    if(first GREATER_EQUAL 0)
      product_problem("${entry} repeats entry ${first} (Windows ignores letter case)")
    endif()
    list(APPEND seen "${key}")
    math(EXPR index "${index} + 1")
  endforeach()
endfunction()

# A name of the update list that differs from one of the install list only
# in letter case: on Windows they are one file, but the zip and the disc
# would hold two. The same name in both lists is the same file, listed
# twice.
function(product_check_lists_collide)
  product_game_files(install)
  set(install_keys "")
  foreach(name IN LISTS install)
    product_name_key(key "${name}")
    list(APPEND install_keys "${key}")
  endforeach()
  set(index 0)
  foreach(name IN LISTS PRODUCT_UPDATE_LIST)
    product_name_key(key "${name}")
    list(FIND install_keys "${key}" other)
    if(other GREATER_EQUAL 0)
      list(GET install ${other} other_name)
      if(other EQUAL 0)
        set(where "PRODUCT_GAME_EXECUTABLE")
      else()
        set(where "PRODUCT_INSTALL_LIST entry ${other}")
      endif()
      if(NOT other_name STREQUAL name)
        product_problem("PRODUCT_UPDATE_LIST entry ${index} \"${name}\" and ${where} \
          \"${other_name}\" differ only in letter case: on Windows they are one file, but \
          the zip and the disc would hold two")
      endif()
    endif()
    math(EXPR index "${index} + 1")
  endforeach()
endfunction()

# The entries that other parts of the programs rely on.
function(product_check_roles)
  list(LENGTH PRODUCT_INSTALL_LIST count)
  if(count LESS 12)
    product_problem("PRODUCT_INSTALL_LIST has ${count} entries; it needs at least 12: 0 the \
      game executable, 1, 2 and 5 the optional parts, 10 the readme, 11 the uninstaller")
    return()
  endif()
  list(GET PRODUCT_INSTALL_LIST 0 first)
  if(NOT first STREQUAL product_placeholder)
    product_problem("PRODUCT_INSTALL_LIST entry 0 \"${first}\" is not the placeholder \
      \"${product_placeholder}\" that start-up replaces with PRODUCT_GAME_EXECUTABLE")
  endif()
  if(NOT PRODUCT_GAME_EXECUTABLE MATCHES "\\.[eE][xX][eE]$")
    product_problem("PRODUCT_GAME_EXECUTABLE \"${PRODUCT_GAME_EXECUTABLE}\" is the game's \
      program: its name ends in .exe")
  endif()
  string(TOLOWER "${PRODUCT_INSTALL_LIST}" folded_list)
  string(TOLOWER "${PRODUCT_GAME_EXECUTABLE}" folded_executable)
  list(FIND folded_list "${folded_executable}" again)
  if(again GREATER 0)
    product_problem("PRODUCT_GAME_EXECUTABLE \"${PRODUCT_GAME_EXECUTABLE}\" is also \
      PRODUCT_INSTALL_LIST entry ${again}; start-up puts it in entry 0")
  endif()
  list(GET PRODUCT_INSTALL_LIST ${product_uninstaller_index} uninstaller)
  if(NOT uninstaller MATCHES "\\.[eE][xX][eE]$")
    product_problem("PRODUCT_INSTALL_LIST entry 11 \"${uninstaller}\" is the uninstaller: \
      its name ends in .exe")
  endif()
  list(LENGTH PRODUCT_VOLUME_LABELS labels)
  if(labels EQUAL 0)
    product_problem("PRODUCT_VOLUME_LABELS is empty; the install disc is found by its label")
  elseif(labels GREATER 1)
    product_problem("PRODUCT_VOLUME_LABELS has ${labels} labels; the disc scan compares only \
      the first")
  endif()
endfunction()

# SOFTWARE\<maker>\<title>, unless PRODUCT_REGISTRY_KEY_DIFFERS says the key
# differs on purpose.
function(product_check_registry_key)
  set(key "${PRODUCT_REGISTRY_KEY}")
  set(entry "PRODUCT_REGISTRY_KEY \"${key}\"")
  product_check_text("${entry}" "${key}" ${product_key_limit})
  if(key MATCHES "^\\\\|\\\\$|\\\\\\\\")
    product_problem("${entry} has an empty part: a backslash at an end or two together")
  endif()
  set(differs "${PRODUCT_REGISTRY_KEY_DIFFERS}")
  if(NOT differs MATCHES "^(|ON|OFF|on|off)$")
    product_problem("PRODUCT_REGISTRY_KEY_DIFFERS \"${differs}\" is neither ON nor OFF")
  endif()
  # The uninstall removes the key whole; a key nearer the root is shared
  # with the maker's other games, or with every program.
  string(TOUPPER "${key}" upper_key)
  string(REGEX REPLACE "[^\\\\]" "" separators "${key}")
  string(LENGTH "${separators}" separators)
  if(NOT upper_key MATCHES "^SOFTWARE\\\\" OR separators LESS 2)
    product_problem("${entry} is not SOFTWARE\\<maker>\\<title> or a key below it, even \
      with PRODUCT_REGISTRY_KEY_DIFFERS: the uninstall removes the key whole, and one nearer \
      the root is shared")
    return()
  endif()
  set(expected "SOFTWARE\\${PRODUCT_MAKER}\\${PRODUCT_TITLE}")
  string(TOLOWER "${key}" folded_key)
  string(TOLOWER "${expected}" folded_expected)
  if(NOT differs AND NOT folded_key STREQUAL folded_expected)
    product_problem("${entry} is not SOFTWARE\\<maker>\\<title> (\"${expected}\"); \
      set PRODUCT_REGISTRY_KEY_DIFFERS ON if it differs on purpose")
  endif()
endfunction()

# A list of four sizes, each a whole number of megabytes from least up to
# product_size_limit; <valid> says whether all are.
function(product_check_megabytes valid setting least meaning)
  list(LENGTH PRODUCT_${setting} count)
  set(all_valid TRUE)
  if(NOT count EQUAL 4)
    product_problem("PRODUCT_${setting} has ${count} values; it needs 4: ${meaning}")
    set(all_valid FALSE)
  endif()
  set(index 0)
  foreach(size IN LISTS PRODUCT_${setting})
    if(NOT size MATCHES "^(0|[1-9][0-9]?[0-9]?[0-9]?[0-9]?[0-9]?[0-9]?[0-9]?[0-9]?[0-9]?)$"
       OR size GREATER product_size_limit OR size LESS least)
      product_problem("PRODUCT_${setting} entry ${index} \"${size}\" is not a whole number \
        of megabytes from ${least} to ${product_size_limit}")
      set(all_valid FALSE)
    endif()
    math(EXPR index "${index} + 1")
  endforeach()
  set(${valid} ${all_valid} PARENT_SCOPE)
endfunction()

function(product_check_sizes)
  product_check_megabytes(valid SIZES 1 "the size required at start, install type 2, \
    install type 1 and a spare")
  # The install options dialog adds up the parts chosen; a part may be too
  # small to count.
  product_check_megabytes(valid PART_SIZES 0 "the graphics chosen, the graphics not \
    chosen, the music and the voices")
  if(valid)
    list(GET PRODUCT_PART_SIZES 0 graphics)
    list(GET PRODUCT_PART_SIZES 2 music)
    list(GET PRODUCT_PART_SIZES 3 voices)
    math(EXPR all "${graphics} + ${music} + ${voices}")
    if(all GREATER product_size_limit)
      product_problem("PRODUCT_PART_SIZES: the graphics, the music and the voices come to \
        ${all} megabytes together; at most ${product_size_limit} fit")
    endif()
  endif()
endfunction()

function(product_check_single_values)
  foreach(setting ${product_names} ${product_texts})
    list(LENGTH PRODUCT_${setting} count)
    if(count GREATER 1)
      product_problem("PRODUCT_${setting} has ${count} values; it takes one")
    endif()
  endforeach()
  foreach(setting TITLE MAKER)
    product_check_name("PRODUCT_${setting} \"${PRODUCT_${setting}}\"" "${PRODUCT_${setting}}")
  endforeach()
  foreach(setting DATA_FOLDER GAME_EXECUTABLE)
    product_check_file_name("PRODUCT_${setting} \"${PRODUCT_${setting}}\""
      "${PRODUCT_${setting}}")
  endforeach()
  foreach(setting WINDOW_CLASS SETUP_HEADING)
    product_check_text("PRODUCT_${setting} \"${PRODUCT_${setting}}\"" "${PRODUCT_${setting}}"
      ${product_name_limit})
  endforeach()
endfunction()

# The install list as the programs see it after start-up: the game
# executable in place of the placeholder.
function(product_game_files out)
  set(files ${PRODUCT_INSTALL_LIST})
  list(REMOVE_AT files 0)
  list(PREPEND files "${PRODUCT_GAME_EXECUTABLE}")
  set(${out} ${files} PARENT_SCOPE)
endfunction()

macro(product_load file)
  set_property(GLOBAL PROPERTY PRODUCT_PROBLEMS "")
  get_filename_component(PRODUCT_FILE "${file}" ABSOLUTE)
  if(NOT EXISTS "${PRODUCT_FILE}" OR IS_DIRECTORY "${PRODUCT_FILE}")
    message(FATAL_ERROR "No product file ${PRODUCT_FILE}")
  endif()
  product_check_utf8("${PRODUCT_FILE}")
  product_check_semicolons("${PRODUCT_FILE}")
  product_read("${PRODUCT_FILE}")
  get_property(product_problems GLOBAL PROPERTY PRODUCT_PROBLEMS)
  if(product_problems STREQUAL "")
    product_read_reserved_names()
    product_check_single_values()
    product_check_roles()
    product_check_registry_key()
    product_check_sizes()
    foreach(list INSTALL_LIST UPDATE_LIST VOLUME_LABELS)
      product_check_list(PRODUCT_${list})
    endforeach()
    product_check_lists_collide()
    get_property(product_problems GLOBAL PROPERTY PRODUCT_PROBLEMS)
  endif()
  if(NOT product_problems STREQUAL "")
    message(FATAL_ERROR "The product file ${PRODUCT_FILE} breaks these rules:"
      "${product_problems}")
  endif()
  if(NOT product_iconv)
    message(STATUS "No iconv here: whether the names fit code page 932 is left to the "
      "compiler, which converts them")
  endif()
  get_filename_component(PRODUCT_NAME "${PRODUCT_FILE}" NAME_WE)
endmacro()

# A C string literal of text, or a resource script's one.
function(product_c_literal out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

function(product_rc_literal out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\"\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# The lines of a null-terminated C array of a list's names.
function(product_c_array out list_name)
  set(lines "")
  foreach(name IN LISTS ${list_name})
    product_c_literal(literal "${name}")
    string(APPEND lines "    ${literal},\n")
  endforeach()
  set(${out} "${lines}    nullptr," PARENT_SCOPE)
endfunction()

function(product_write_sources folder)
  foreach(setting ${product_names} ${product_texts})
    product_c_literal(C_${setting} "${PRODUCT_${setting}}")
  endforeach()
  foreach(list INSTALL_LIST UPDATE_LIST VOLUME_LABELS)
    product_c_array(C_${list} PRODUCT_${list})
  endforeach()
  string(REPLACE ";" ", " C_SIZES "${PRODUCT_SIZES}")
  string(REPLACE ";" ", " C_PART_SIZES "${PRODUCT_PART_SIZES}")
  product_rc_literal(RC_SETUP_HEADING "${PRODUCT_SETUP_HEADING}")
  configure_file("${product_source_root}/engine/product_config.cpp.in"
    "${folder}/product_config.cpp" @ONLY)
  configure_file("${product_source_root}/resources/product_texts.h.in"
    "${folder}/product_texts.h" @ONLY)
endfunction()

# A shell assignment of a single value, in single quotes.
function(product_shell_assignment out variable value)
  string(REPLACE "'" "'\\''" value "${value}")
  set(${out} "${variable}='${value}'\n" PARENT_SCOPE)
endfunction()

function(product_write_lists folder)
  product_game_files(files)
  string(REPLACE ";" "\n" install "${files}")
  string(REPLACE ";" "\n" update "${PRODUCT_UPDATE_LIST}")
  file(WRITE "${folder}/install-list.txt" "${install}\n")
  if(update STREQUAL "")
    file(WRITE "${folder}/update-list.txt" "")
  else()
    file(WRITE "${folder}/update-list.txt" "${update}\n")
  endif()
  list(GET PRODUCT_VOLUME_LABELS 0 label)
  string(REPLACE ";" " " sizes "${PRODUCT_SIZES}")
  set(env "# The product's single values, from ${PRODUCT_FILE}\n")
  foreach(setting FILE NAME TITLE MAKER DATA_FOLDER GAME_EXECUTABLE REGISTRY_KEY)
    product_shell_assignment(line PRODUCT_${setting} "${PRODUCT_${setting}}")
    string(APPEND env "${line}")
  endforeach()
  product_shell_assignment(line PRODUCT_DISC_LABEL "${label}")
  string(APPEND env "${line}")
  product_shell_assignment(line PRODUCT_SIZES "${sizes}")
  file(WRITE "${folder}/product.env" "${env}${line}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT PRODUCT)
    message(FATAL_ERROR "usage: cmake -DPRODUCT=<file> [-DPRODUCT_OUT=<folder>] -P ${CMAKE_CURRENT_LIST_FILE}")
  endif()
  product_load("${PRODUCT}")
  if(PRODUCT_OUT)
    file(MAKE_DIRECTORY "${PRODUCT_OUT}")
    product_write_lists("${PRODUCT_OUT}")
  endif()
endif()
