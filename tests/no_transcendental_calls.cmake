# cmake "-DARCHIVES=a.a;b.a" -P no_transcendental_calls.cmake
# Fails when an archive calls a transcendental function of the C library
# (sine, cosine, tangent, power, exponential, logarithm and their kin, in any
# precision): those round differently between libraries and CPUs, and the
# rules must play a recorded game to the same bits everywhere.
set(forbidden "sin|cos|tan|sincos|asin|acos|atan|atan2|sinh|cosh|tanh|asinh|acosh|atanh|pow|exp|exp2|exp10|expm1|log|log2|log10|log1p|logb|cbrt|hypot")
foreach(archive ${ARCHIVES})
  execute_process(COMMAND nm -u ${archive} OUTPUT_VARIABLE undefined RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm could not read ${archive}")
  endif()
  # Plain, float and long double forms, glibc's internal and _finite names,
  # and versioned references (sinf@GLIBC_2.2.5).
  string(REGEX MATCHALL "U (__)?(${forbidden})(f|l|f32|f64|f128)?(_finite)?(@[^\n]*)?\n" calls "${undefined}\n")
  if(calls)
    list(TRANSFORM calls REPLACE "U |\n" "")
    list(JOIN calls ", " names)
    message(FATAL_ERROR "${archive} calls the C library's transcendental functions: ${names}")
  endif()
  message(STATUS "${archive} calls no transcendental function of the C library")
endforeach()
