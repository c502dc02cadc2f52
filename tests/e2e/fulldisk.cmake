# A full and a read-only disk under the program's folder and the settings
# folder: the main window against zir-sim, each folder a small file system.
zir_add_gtest(e2e_full_disk_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/FullDiskTest.cpp ${PROJECT_SOURCE_DIR}/tests/app/ScriptedDialogs.h
  LIBS zir_app zir_test_support Qt6::Test
  QT_MAIN
  TIMEOUT 180)
