# The same commit builds to the same bytes, wherever and whenever it is built.
#
# The build stamp that the About window shows is taken from SOURCE_DATE_EPOCH when it is set
# (scripts/package sets it to the time of the last commit), else from the time of
# configuring; CMake's TIMESTAMP reads that variable itself. It is written in UTC, in the
# form of the C preprocessor's date and time ("Dec  8 2026", "09:14:03").
#
# TARNEL_REPRODUCIBLE maps the source and build folders out of everything the compiler
# writes (debug information, __FILE__), so that two build folders give the same files.
# Off by default: a debugger then finds the sources of a developer's build by itself.

option(TARNEL_REPRODUCIBLE "Map the source and build folders out of the binaries" OFF)
if(TARNEL_REPRODUCIBLE)
    # The compiler tries the last map given first, so the build folder, which may lie
    # inside the source folder, comes last.
    add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                        -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
endif()

string(TIMESTAMP TARNEL_BUILD_DATE "%b %d %Y" UTC)
# The day stands right-aligned in two places, with a blank instead of a leading zero.
string(REGEX REPLACE " 0([1-9]) " "  \\1 " TARNEL_BUILD_DATE "${TARNEL_BUILD_DATE}")
string(TIMESTAMP TARNEL_BUILD_TIME "%H:%M:%S" UTC)
set(TARNEL_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/TarnelBuildStamp.h.in
               ${TARNEL_GENERATED_DIR}/TarnelBuildStamp.h @ONLY)
include_directories(${TARNEL_GENERATED_DIR})

# The days from 1970-01-01 to the date YYYY-MM-DD (proleptic Gregorian calendar).
function(tarnel_days_since_epoch date out)
    if(NOT date MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
        message(FATAL_ERROR "not a date of the form YYYY-MM-DD: '${date}'")
    endif()
    # Leading zeros would be read as octal numbers.
    math(EXPR y "1${CMAKE_MATCH_1} - 10000")
    math(EXPR m "1${CMAKE_MATCH_2} - 100")
    math(EXPR d "1${CMAKE_MATCH_3} - 100")
    # Years counted from March, so that the leap day ends the year.
    if(m LESS_EQUAL 2)
        math(EXPR y "${y} - 1")
        math(EXPR m "${m} + 9")
    else()
        math(EXPR m "${m} - 3")
    endif()
    math(EXPR era "${y} / 400")
    math(EXPR yoe "${y} - ${era} * 400")
    math(EXPR doy "(153 * ${m} + 2) / 5 + ${d} - 1")
    math(EXPR doe "${yoe} * 365 + ${yoe} / 4 - ${yoe} / 100 + ${doy}")
    math(EXPR days "${era} * 146097 + ${doe} - 719468")
    set(${out} ${days} PARENT_SCOPE)
endfunction()

# The date YYYY-MM-DD (at midnight UTC) written with a TIMESTAMP format.
function(tarnel_format_date date format out)
    tarnel_days_since_epoch(${date} days)
    set(saved "$ENV{SOURCE_DATE_EPOCH}")
    math(EXPR seconds "${days} * 86400")
    set(ENV{SOURCE_DATE_EPOCH} ${seconds})
    string(TIMESTAMP text "${format}" UTC)
    set(ENV{SOURCE_DATE_EPOCH} "${saved}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()
