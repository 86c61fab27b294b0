# cmake -DIN=FILE -DOUT=FILE -P shrink-baseline.cmake
# Copies a baseline of photoseries-bench with every median made far smaller, so that a run
# compared with it must report its rows as REGRESSED: the test that the comparison can fail.
file(STRINGS "${IN}" lines)
set(out "")
foreach(line IN LISTS lines)
    if(line MATCHES "^#")
        continue()
    endif()
    string(REGEX REPLACE "^[^\t]*\t" "1e-09\t" line "${line}")
    string(APPEND out "${line}\n")
endforeach()
file(WRITE "${OUT}" "${out}")
