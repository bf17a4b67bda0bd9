# The main port's message reception: the sniffing pass for the root name,
# the validating parse behind the server's grammar, and the request's
# attribute reading, with no R/3 call.
qorrfc_add_fuzz(xml_reception SOURCE ${CMAKE_CURRENT_LIST_DIR}/xml_reception_fuzz.cc LIBS qorrfc)
