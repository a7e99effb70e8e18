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
# The uninstaller's entry of the install list.
set(product_uninstaller_index 11)

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
  elseif(length GREATER limit)
    product_problem("${entry} is ${length} bytes in code page 932; at most ${limit} fit")
  endif()
endfunction()

# A name: a text that Windows takes as one file or folder name unchanged.
function(product_check_name entry name)
  product_check_text("${entry}" "${name}" ${product_name_limit})
  if(name MATCHES "[\\/:*?\"<>|]|[. ]$")
    product_problem("${entry} is no plain file name: it holds one of \\ / : * ? \" < > | \
      or ends in a dot or a blank")
  endif()
endfunction()

# The names of a list: each a name, and none twice (letter case aside).
# Lists are walked IN LISTS, which keeps empty entries.
function(product_check_list list_name)
  set(index 0)
  set(seen "")
  foreach(name IN LISTS ${list_name})
    set(entry "${list_name} entry ${index} \"${name}\"")
    if(list_name STREQUAL "PRODUCT_VOLUME_LABELS")
      product_check_text("${entry}" "${name}" ${product_name_limit})
    else()
      product_check_name("${entry}" "${name}")
    endif()
    string(TOLOWER "${name}" folded)
    list(FIND seen "${folded}" first)
    if(first GREATER_EQUAL 0)
      product_problem("${entry} repeats entry ${first} (Windows ignores letter case)")
    endif()
    list(APPEND seen "${folded}")
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
  foreach(setting ${product_names})
    product_check_name("PRODUCT_${setting} \"${PRODUCT_${setting}}\"" "${PRODUCT_${setting}}")
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
    product_check_single_values()
    product_check_roles()
    product_check_registry_key()
    product_check_sizes()
    foreach(list INSTALL_LIST UPDATE_LIST VOLUME_LABELS)
      product_check_list(PRODUCT_${list})
    endforeach()
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
