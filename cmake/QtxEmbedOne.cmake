# Script mode: turns INPUT into a C++ source defining NAMESPACE::SYMBOL and SYMBOLSize.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}"
    "// Generated from ${SYMBOL}; do not edit.\n"
    "namespace ${NAMESPACE}\n{\n"
    "extern const unsigned char ${SYMBOL}[];\nextern const unsigned int ${SYMBOL}Size;\n"
    "const unsigned char ${SYMBOL}[] = {\n    ${bytes} 0x00\n};\n"
    "const unsigned int ${SYMBOL}Size = ${size};\n}\n")
