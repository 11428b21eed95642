# Native build of the portable code: unit tests under AddressSanitizer and UBSan, the fuzzer,
# and the stand-in box that plays the set-top box on a loopback address.
set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(-Wall -Wextra -g)

find_package(GTest REQUIRED)

add_library(address STATIC ${ADDRESS_SOURCES})
target_include_directories(address PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(address PRIVATE ${SANITIZE})

add_library(protocol STATIC ${PROTOCOL_SOURCES})
target_include_directories(protocol PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(protocol PUBLIC address)
target_compile_options(protocol PRIVATE ${SANITIZE})

add_library(keys STATIC ${KEYS_SOURCES})
target_include_directories(keys PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(keys PUBLIC protocol)
target_compile_options(keys PRIVATE ${SANITIZE})

function(halcyra_host_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE ${SANITIZE})
    target_link_options(${name} PRIVATE ${SANITIZE})
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()

add_executable(standin_box tools/standin_box.cpp)

add_subdirectory(tests)
