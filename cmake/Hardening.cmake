# The hardening Debian builds its packages with: position-independent code linked as PIE,
# read-only relocations bound when the program starts (full RELRO), the strong stack protector
# and stack clash protection, and, where the build optimises, _FORTIFY_SOURCE. Level 3 also
# checks copies into buffers whose size is known only at run time, which is most of ours.
# Control-flow protection is left out: Debian 12's C library start files are not marked for
# it, so the program could never be.
#
# Under the sanitizers _FORTIFY_SOURCE stays off: the checked variants of memcpy and friends
# would bypass the sanitizers' own interceptors and hide the faults they are there to report.

include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-fstack-protector-strong -fstack-clash-protection)
add_link_options(LINKER:-z,relro LINKER:-z,now)

if(NOT TROVAN_SANITIZE AND NOT TROVAN_TSAN)
    add_compile_options(
        "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=3>")
endif()
