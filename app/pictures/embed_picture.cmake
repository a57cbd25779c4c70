# Writes a C++ source that carries the bytes of one picture file, so that the program needs no files at
# run time. Run as: cmake -DIN=<file> -DOUT=<source> -DFUNCTION=<name> -P embed_picture.cmake
# The source defines app::pictures::<FUNCTION>(), declared in app/pictures/embedded_pictures.h.
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
# 32 bytes a line keeps the generated file readable in a diff viewer.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n    " bytes "${bytes}")
get_filename_component(file_name "${IN}" NAME)
file(WRITE "${OUT}.tmp"
  "// Generated from ${file_name} by embed_picture.cmake; do not edit.\n"
  "#include \"app/pictures/embedded_pictures.h\"\n\n"
  "namespace app::pictures {\n"
  "namespace {\n"
  "const unsigned char kBytes[${size}] = {\n    ${bytes}\n};\n"
  "}  // namespace\n\n"
  "std::span<const unsigned char> ${FUNCTION}() { return kBytes; }\n\n"
  "}  // namespace app::pictures\n")
# Only a changed picture touches the source, so an unchanged one is not compiled again.
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
