# A second, small product for the tests: another maker, a Japanese title
# (so its texts go through code page 932), a Japanese data folder and
# Japanese file names, among them names with a second byte of 0x5C (a
# backslash) in code page 932 (表, ソ) and half-width katakana, its own
# registry key, lists and disc label. products/vellomira.cmake says what
# each setting is.
set(PRODUCT_TITLE "星見の灯台")
set(PRODUCT_MAKER "Kirishio")
set(PRODUCT_DATA_FOLDER "星見データ")
set(PRODUCT_GAME_EXECUTABLE "Hoshimi.exe")
set(PRODUCT_WINDOW_CLASS "星見の灯台　セットアップ")
set(PRODUCT_SETUP_HEADING "星見の灯台　セットアップ")
set(PRODUCT_REGISTRY_KEY "SOFTWARE\\Kirishio\\星見の灯台")
set(PRODUCT_INSTALL_LIST
  "ExecuteProgram"
  "map.pac"
  "voice.pac"
  "script.pac"
  "font.dll"
  "music.pac"
  "engine.dll"
  "設定.ini"
  "効果音.pac"
  "movie.pac"
  "readme.txt"
  "uninstall.exe"
  "extra.pac"
)
set(PRODUCT_UPDATE_LIST
  "script.pac"
  "patch1.pac"
  "お知らせ.txt"
  "表示ソフト.pac"
  "ｾｰﾌﾞ.dat"
)
set(PRODUCT_VOLUME_LABELS "星見の灯台")
set(PRODUCT_SIZES 24 24 16 24)
set(PRODUCT_PART_SIZES 12 4 2 6)
