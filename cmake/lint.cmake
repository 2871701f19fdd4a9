# Formatting and static analysis of the program's own sources, each as one
# test: any difference from .clang-format, or any clang-tidy finding under
# .clang-tidy, fails it.
find_program(KESTRIM_CLANG_FORMAT NAMES clang-format clang-format-14 REQUIRED)
find_program(KESTRIM_CLANG_TIDY NAMES clang-tidy clang-tidy-14 REQUIRED)

file(GLOB_RECURSE KESTRIM_FORMATTED CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/app/*.cc ${PROJECT_SOURCE_DIR}/app/*.h
     ${PROJECT_SOURCE_DIR}/bench/*.cc
     ${PROJECT_SOURCE_DIR}/platform/*.cc ${PROJECT_SOURCE_DIR}/platform/*.h
     ${PROJECT_SOURCE_DIR}/removal/*.cc ${PROJECT_SOURCE_DIR}/removal/*.h
     ${PROJECT_SOURCE_DIR}/tests/*.cc ${PROJECT_SOURCE_DIR}/tests/*.h
     ${PROJECT_SOURCE_DIR}/text/*.cc ${PROJECT_SOURCE_DIR}/text/*.h)
add_test(NAME lint.clang_format
         COMMAND ${KESTRIM_CLANG_FORMAT} --dry-run --Werror ${KESTRIM_FORMATTED})

add_test(NAME lint.clang_tidy
         COMMAND ${KESTRIM_CLANG_TIDY} -p ${CMAKE_BINARY_DIR} --quiet
                 ${KESTRIM_SOURCES} ${PROJECT_SOURCE_DIR}/app/main.cc)
