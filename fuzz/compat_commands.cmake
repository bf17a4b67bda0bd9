# The command dispatcher of the dialog-compatibility port, with the two
# commands that would call R/3 stubbed.
qorrfc_add_fuzz(compat_commands SOURCE ${CMAKE_CURRENT_LIST_DIR}/compat_commands_fuzz.cc
                LIBS qorrfc)
