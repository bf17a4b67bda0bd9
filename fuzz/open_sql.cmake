# r3sim's translation of Open SQL conditions, which takes text from clients.
qorrfc_add_fuzz(open_sql SOURCE ${CMAKE_CURRENT_LIST_DIR}/open_sql_fuzz.cc LIBS r3sim_core SQLite::SQLite3)
