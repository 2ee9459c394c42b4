# Turns one checked-in resource file into a C++ source defining its bytes:
#
#     cmake -DINPUT=picture116.bmpres -DOUTPUT=picture116.cpp -DSYMBOL=kPicture116 -P EmbedFile.cmake
#
# defines `const unsigned char embedded::kPicture116[]` and `const std::size_t
# embedded::kPicture116Size`, as EmbeddedData.h declares them.
foreach(var INPUT OUTPUT SYMBOL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "EmbedFile.cmake needs -D${var}=...")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
if(digits EQUAL 0)
  # A zero-length array is no C++; an empty resource file is a mistake in the tree anyway.
  message(FATAL_ERROR "${INPUT} is empty")
endif()

# Sixteen bytes to a line, each as 0xNN.
string(REPEAT "[0-9a-f]" 32 sixteen_bytes)
string(REGEX REPLACE "(${sixteen_bytes})" "\\1\n" hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE ",\n" ",\n    " bytes "${bytes}")
string(STRIP "${bytes}" bytes)

get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// Made by the build from ${name} (which tools/make-pictures makes); do not edit.
#include <cstddef>

namespace embedded {
extern const unsigned char ${SYMBOL}[];
extern const std::size_t ${SYMBOL}Size;
const unsigned char ${SYMBOL}[] = {
    ${bytes}
};
const std::size_t ${SYMBOL}Size = sizeof ${SYMBOL};
} // namespace embedded
")
# Only a changed source is rewritten, so an unchanged file does not recompile.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
