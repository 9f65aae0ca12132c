# Turns a CR LF text file into a list of C++ string literals, one per line.
# Usage: cmake -DINPUT=file.txt -DOUTPUT=file.inc -P EmbedLines.cmake
file(READ "${INPUT}" content)
string(REPLACE "\r\n" "\n" content "${content}")
string(REGEX REPLACE "\n$" "" content "${content}")
string(REPLACE "\\" "\\\\" content "${content}")
string(REPLACE "\"" "\\\"" content "${content}")
string(REPLACE ";" "\\;" content "${content}")
string(REPLACE "\n" ";" lines "${content}")
set(out "")
foreach(line IN LISTS lines)
  string(APPEND out "    \"${line}\",\n")
endforeach()
file(WRITE "${OUTPUT}" "${out}")
