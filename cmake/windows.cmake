# 32-bit Windows build: the program, its libraries and the test programs run through Wine.
add_compile_options(-Wall -Wextra)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# Static runtime: the executable needs only Windows system DLLs.
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
# Byte-reproducible: no folder of this machine in any object, no link time in any header
# (the more specific build folder is listed last, so it is the one applied inside the source).
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
add_link_options(-Wl,--no-insert-timestamp)
# Hardening: stack protection (static libssp; the address code turns it off again, as it must
# stay self-contained), DEP and ASLR with the relocation table kept.
add_compile_options(-fstack-protector-strong)
add_link_options(-fstack-protector-strong -Wl,--nxcompat -Wl,--dynamicbase)

# GoogleTest from Debian's sources, built with the same compiler.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Address utilities, self-contained; the build fails if any of their objects needs an outside symbol.
add_library(address_objects OBJECT ${ADDRESS_SOURCES})
target_include_directories(address_objects PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(address_objects PRIVATE ${ADDRESS_CODE_FLAGS} -O2)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/address_self_contained.stamp
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} "-DOBJECTS=$<TARGET_OBJECTS:address_objects>"
            -DSTAMP=${CMAKE_BINARY_DIR}/address_self_contained.stamp
            -P ${PROJECT_SOURCE_DIR}/cmake/check_self_contained.cmake
    DEPENDS address_objects $<TARGET_OBJECTS:address_objects> ${PROJECT_SOURCE_DIR}/cmake/check_self_contained.cmake
    COMMAND_EXPAND_LISTS
    COMMENT "Checking that the address code calls nothing outside itself")
add_custom_target(address_self_contained DEPENDS ${CMAKE_BINARY_DIR}/address_self_contained.stamp)
add_library(address STATIC $<TARGET_OBJECTS:address_objects>)
target_include_directories(address PUBLIC ${PROJECT_SOURCE_DIR})
add_dependencies(address address_self_contained)

add_library(transport STATIC ${PROTOCOL_SOURCES} transport/command_transaction.cpp
    transport/box_order.cpp transport/workers.cpp transport/exchange.cpp
    transport/winsock_session.cpp transport/undelivered_reason.cpp transport/box_search.cpp
    transport/system_library.cpp transport/wake.cpp transport/adapters.cpp)
target_include_directories(transport PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(transport PUBLIC address ws2_32 gdi32)

# The key vocabulary and the settings' place in the registry: what both programs read.
add_library(keys STATIC ${KEYS_SOURCES})
target_include_directories(keys PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(keys PUBLIC transport)
add_library(settings STATIC settings/registry.cpp settings/wake_addresses.cpp)
target_include_directories(settings PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(settings PUBLIC address keys transport advapi32)

add_subdirectory(app)
add_subdirectory(sender)

# One CTest entry per test program; CMAKE_CROSSCOMPILING_EMULATOR runs it through Wine.
function(halcyra_wine_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} gtest)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()

add_subdirectory(tests)

add_subdirectory(tools/bench)
