# Turns the bundled UTF-8 texts into a C++ source file with one char8_t array each.
function(embed name path out_var)
  file(READ ${path} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  set(${out_var} "extern const unsigned char ${name}[];\nconst unsigned char ${name}[] = {${hex}0x00};\n" PARENT_SCOPE)
endfunction()
embed(kBundledSampleUtf8 ${SAMPLE} sample)
embed(kBundledHelpUtf8 ${HELP} help)
file(WRITE ${OUT} "// Generated from resources/: do not edit.\n${sample}${help}")
