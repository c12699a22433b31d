# Renders the man page as plain text for the Windows zip, where no man reader
# is: groff's ASCII output with its overstrikes taken out, as col -b does, and
# with CRLF line ends for Notepad.
#   cmake -DGROFF=groff -DINPUT=docs/tarvo.1 -DOUTPUT=tarvo.txt -P ManPageText.cmake
execute_process(COMMAND ${GROFF} -man -Tascii -P-c -P-b -P-u ${INPUT}
                OUTPUT_VARIABLE text RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "groff could not render ${INPUT}")
endif()
string(ASCII 8 backspace)
string(REGEX REPLACE ".${backspace}" "" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
