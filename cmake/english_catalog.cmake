# The English catalog is compiled in from its .po file, so no build of the program needs a
# translation file at run time. korvane_english_catalog(<target>) adds it to a target's sources.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(korvane_english_catalog target)
  set(english_po ${PROJECT_SOURCE_DIR}/translations/en.po)
  set(english_catalog ${CMAKE_CURRENT_BINARY_DIR}/english_catalog.cpp)
  add_custom_command(
    OUTPUT ${english_catalog}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/po-to-catalog ${english_catalog}
            EnglishCatalog ${english_po}
    DEPENDS ${english_po} ${PROJECT_SOURCE_DIR}/scripts/po-to-catalog
    COMMENT "Compiling the English catalog")
  target_sources(${target} PRIVATE ${english_catalog})
endfunction()
