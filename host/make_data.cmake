# Writes the project's placeholder files: cmake -DDATA_DIR=<app>/data -P make_data.cmake
# The headless engine only needs the files to be there; real builds bring Flutter's own.
if(NOT DATA_DIR)
  message(FATAL_ERROR "DATA_DIR is not set")
endif()
file(MAKE_DIRECTORY "${DATA_DIR}/flutter_assets")
file(WRITE "${DATA_DIR}/flutter_assets/AssetManifest.json" "{}\n")
file(WRITE "${DATA_DIR}/icudtl.dat" "placeholder ICU data\n")
file(WRITE "${DATA_DIR}/app.so" "placeholder AOT library\n")
