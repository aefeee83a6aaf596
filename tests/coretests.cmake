# The checked build (sanitizers): the tests of the core libraries and of
# lumo-cli only, each with every helper and fixture the full list gives them.
add_executable(records_writer records/records_writer.cpp)
add_executable(conversion_crasher records/conversion_crasher.cpp)
add_executable(crash_writer faults/crash_writer.cpp)
add_executable(transfer_runner records/transfer_runner.cpp)
foreach(helper records_writer conversion_crasher crash_writer transfer_runner)
  target_link_libraries(${helper} PRIVATE lumo_core)
  target_include_directories(${helper} PRIVATE ${CMAKE_SOURCE_DIR}/src)
endforeach()

set(LUMO_JET_FIXTURES "${CMAKE_CURRENT_SOURCE_DIR}/fixtures/jet" CACHE PATH "Sample Access (Jet 3 and Jet 4) files")
set(lumo_core_tests
  base/test_codec shell/test_configuration measurement/test_catalogue records/test_records
  shell/test_startup instrument/test_instrument analysis/test_energy knowledge/test_decipher
  treatment/test_matching analysis/test_charts knowledge/test_delivered records/test_database
  shell/test_datafiles app/test_cli app/test_clifiles treatment/test_conditionpanels
  treatment/test_treatment_tables comparison/test_comparison_rules comparison/test_comparison_chart
  comparison/test_comparison_print comparison/test_trend comparison/test_compare_cli
  measurement/test_calibration measurement/test_locating_rules instrument/test_trace
  instrument/test_usbstrings instrument/test_access records/test_transfer records/test_legacy
  records/test_researchcsv app/test_cli_transfer backup/test_retention backup/test_backup
  app/test_cli_backup shell/test_privacy faults/test_crashloop faults/test_failingwrites
  records/test_schemaobjects records/test_transfer_files base/test_visibletext records/test_server
  app/test_cli_server)
list(APPEND lumo_core_tests faults/test_readonly)
list(APPEND lumo_core_tests records/test_fhirbundle records/test_subjectcsv records/test_subjectmerge records/test_deletion)
list(APPEND lumo_core_tests measurement/test_quality comparison/test_noise comparison/test_noise_extras)
list(APPEND lumo_core_tests practice/test_auditlog app/test_cli_serverroles)
list(APPEND lumo_core_tests records/test_rooms)
foreach(source IN LISTS lumo_core_tests)
  get_filename_component(name ${source} NAME)
  lumo_test(${name} SOURCES ${source}.cpp LIBS lumo_core PkgConfig::SQLITE3)
  add_dependencies(${name} lumo_data lumo-cli records_writer conversion_crasher crash_writer transfer_runner)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/instrument)
  target_compile_definitions(${name} PRIVATE LUMO_SHARE_DIR="${LUMO_SHARE_DIR}"
    LUMO_BIN_DIR="${CMAKE_BINARY_DIR}/bin" LUMO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    LUMO_DATA_SOURCES="${CMAKE_SOURCE_DIR}/data" LUMO_JET_FIXTURES="${LUMO_JET_FIXTURES}"
    LUMO_TRACE_DIR="${CMAKE_CURRENT_SOURCE_DIR}/instrument/traces")
endforeach()
lumo_on_server(test_records test_server test_cli_server)
lumo_on_server(test_auditlog test_subjectmerge test_cli_serverroles)
lumo_on_server(test_rooms test_crashloop)
lumo_test(test_pictures SOURCES knowledge/test_pictures.cpp LIBS lumo_pictures)
