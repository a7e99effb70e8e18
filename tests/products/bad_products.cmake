# The product file checks, one row each: CMake code appended to
# products/vellomira.cmake (the later set() wins) and a text that the
# check's message must hold, or "" where the file must pass.
#
#   cmake -DSCRATCH=<folder> -P tests/products/bad_products.cmake
cmake_minimum_required(VERSION 3.20)

set(root "${CMAKE_CURRENT_LIST_DIR}/../..")
file(READ "${root}/products/vellomira.cmake" good)
file(MAKE_DIRECTORY "${SCRATCH}")
set(failures "")
set(row 0)

function(product_row code expected)
  math(EXPR row "${row} + 1")
  set(row ${row} PARENT_SCOPE)
  set(file "${SCRATCH}/row${row}.cmake")
  file(WRITE "${file}" "${good}\n${code}\n")
  execute_process(COMMAND "${CMAKE_COMMAND}" -DPRODUCT=${file} -P "${root}/cmake/product.cmake"
    RESULT_VARIABLE status ERROR_VARIABLE message)
  # CMake indents and may wrap its message; compare the words alone.
  string(REGEX REPLACE "[ \n]+" " " message "${message}")
  if(expected STREQUAL "" AND status EQUAL 0)
    return()
  endif()
  string(FIND "${message}" "${expected}" found)
  if(expected STREQUAL "" OR status EQUAL 0 OR found LESS 0)
    set(failures "${failures}\nrow ${row}: ${code}\n  expected: ${expected}\n  got: ${message}"
      PARENT_SCOPE)
  endif()
endfunction()

string(REPEAT "あ" 64 too_long)   # 128 bytes in code page 932
string(REPEAT "あ" 63 fits)       # 126 bytes there, 189 in UTF-8
string(ASCII 130 160 shift_jis)   # "あ" in code page 932, not UTF-8

product_row([[set(PRODUCT_TITLE "Vel;lomira")]] "a ';' outside a comment")
product_row("set(PRODUCT_TITLE \"${shift_jis}\")" "is not UTF-8 text")
product_row([[set(PRODUCT_MAKR "Torvane")]] "PRODUCT_MAKR is no product setting")
product_row([[unset(PRODUCT_SIZES)]] "PRODUCT_SIZES is not set")
product_row([[set(PRODUCT_DATA_FOLDER Vellomira Data)]] "PRODUCT_DATA_FOLDER has 2 values")
product_row([[set(PRODUCT_UPDATE_LIST "a.pac" "" "b.pac")]]
  [[PRODUCT_UPDATE_LIST entry 1 "" is empty]])
product_row([[list(APPEND PRODUCT_UPDATE_LIST "..\\srp_7.pac")]] "is no plain file name")
product_row([[list(APPEND PRODUCT_UPDATE_LIST "..")]] "is no plain file name")
product_row([[list(APPEND PRODUCT_UPDATE_LIST "Café.pac")]]
  "has a character that code page 932 cannot write")
product_row("list(APPEND PRODUCT_UPDATE_LIST \"${too_long}\")"
  "is 128 bytes in code page 932; at most 127 fit")
product_row("list(APPEND PRODUCT_UPDATE_LIST \"${fits}\")" "")
product_row([[list(APPEND PRODUCT_UPDATE_LIST "SRP_3.pac")]]
  [[PRODUCT_UPDATE_LIST entry 10 "SRP_3.pac" repeats entry 6]])
product_row([[set(PRODUCT_INSTALL_LIST "ExecuteProgram" "grd.pac")]]
  "PRODUCT_INSTALL_LIST has 2 entries; it needs at least 12")
product_row([[list(REMOVE_AT PRODUCT_INSTALL_LIST 0)]]
  [[PRODUCT_INSTALL_LIST entry 0 "grd.pac" is not the placeholder]])
product_row([[list(REMOVE_AT PRODUCT_INSTALL_LIST 11)]]
  [[PRODUCT_INSTALL_LIST entry 11 "Agrd.pac" is the uninstaller]])
product_row([[set(PRODUCT_GAME_EXECUTABLE "Vellomira.bat")]] "is the game's program")
product_row([[set(PRODUCT_VOLUME_LABELS "")]] "PRODUCT_VOLUME_LABELS is empty")
product_row([[list(APPEND PRODUCT_VOLUME_LABELS "VELLOMIRA2")]]
  "the disc scan compares only the first")
product_row([[set(PRODUCT_MAKER "Kirishio")]]
  [[is not SOFTWARE\<maker>\<title> ("SOFTWARE\Kirishio\Vellomira")]])
product_row([[set(PRODUCT_REGISTRY_KEY "SOFTWARE\\Torvane\\Vellomira2")
  set(PRODUCT_REGISTRY_KEY_DIFFERS ON)]] "")
product_row([[set(PRODUCT_REGISTRY_KEY "SOFTWARE\\Torvane\\")
  set(PRODUCT_REGISTRY_KEY_DIFFERS ON)]] "has an empty part")
product_row([[set(PRODUCT_SIZES 3200 3200 3200)]] "PRODUCT_SIZES has 3 values; it needs 4")
product_row([[set(PRODUCT_SIZES 3200 0 3200 3200)]] [[PRODUCT_SIZES entry 1 "0" is not]])
product_row([[set(PRODUCT_SIZES 3200 2147483648 3200 3200)]] [[entry 1 "2147483648" is not]])
product_row([[set(PRODUCT_PART_SIZES 1340 140 220)]] "PRODUCT_PART_SIZES has 3 values; it needs 4")
product_row([[set(PRODUCT_PART_SIZES 2147483647 0 1 0)]] "come to 2147483648 megabytes together")

# Names that pass as text but fail on a player's machine.
product_row([[list(APPEND PRODUCT_UPDATE_LIST "夏〜秋.pak")]]
  [[has "〜" (U+301C), which comes back from code page 932 as "～" (U+FF5E)]])
product_row([[list(APPEND PRODUCT_UPDATE_LIST "nul.txt")]] [["nul.txt" is a device's name]])
product_row([[set(PRODUCT_DATA_FOLDER "Aux")]] [["Aux" is a device's name]])
product_row([[list(APPEND PRODUCT_UPDATE_LIST "COM10.pac")]] "")
product_row([[list(APPEND PRODUCT_UPDATE_LIST "SRP.PAC")]]
  [["SRP.PAC" and PRODUCT_INSTALL_LIST entry 6 "srp.pac" differ only in letter case]])
product_row([[list(APPEND PRODUCT_INSTALL_LIST "ｓｅ.pac")
  list(APPEND PRODUCT_UPDATE_LIST "ＳＥ.pac")]] "differ only in letter case")
foreach(kept ~update.tmp ~UPDATE.NEW ~Update.Old ~UPDATE.LOG UPDATE.SFV)
  product_row("list(APPEND PRODUCT_UPDATE_LIST \"${kept}\")" "a name the update keeps for itself")
endforeach()
product_row([[list(APPEND PRODUCT_UPDATE_LIST "a[.pac" "b.pac")]] "joins entries")
string(REPEAT "a" 61 long)
product_row("list(APPEND PRODUCT_UPDATE_LIST \"${long}.pac\")" "is 65 characters")
product_row([[set(PRODUCT_REGISTRY_KEY "SOFTWARE\\Torvane")
  set(PRODUCT_REGISTRY_KEY_DIFFERS ON)]] "or a key below it, even with")

# Volume labels at and over the disc's limits.
product_row([[set(PRODUCT_VOLUME_LABELS "ABCDEFGHIJKLMNOP")]] "")
product_row([[set(PRODUCT_VOLUME_LABELS "ABCDEFGHIJKLMNOPQ")]] "is 17 characters")
product_row([[set(PRODUCT_VOLUME_LABELS "一二三四五六七八九十AB")]] "")
product_row([[set(PRODUCT_VOLUME_LABELS "一二三四五六七八九十一")]] "is 33 bytes in UTF-8")
product_row([[set(PRODUCT_VOLUME_LABELS "Vellomira ")]] "ends in a blank")

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "Product file checks that did not hold:${failures}")
endif()
message(STATUS "${row} product file checks held")
