# Authenticode signatures (osslsigncode). The programs a release ships are
# signed with the vendor's certificate when one is given, otherwise with a
# test certificate made in the build folder (scripts/make-test-signing-certs),
# so every build signs the same way. README: Signing a release.
#
# The vendor's certificate: give these as -D options, or as environment
# variables of the same names when the build folder is first configured.
set(VYN_SIGNING_CERT "$ENV{VYN_SIGNING_CERT}" CACHE FILEPATH
    "The vendor's code-signing certificate with its chain (PEM or DER); empty: a test certificate")
set(VYN_SIGNING_KEY "$ENV{VYN_SIGNING_KEY}" CACHE FILEPATH "The private key of VYN_SIGNING_CERT (PEM or DER)")
set(VYN_SIGNING_KEY_PASSWORD_FILE "$ENV{VYN_SIGNING_KEY_PASSWORD_FILE}" CACHE FILEPATH
    "A file holding the password of VYN_SIGNING_KEY, when it has one")
set(VYN_TIMESTAMP_URL "$ENV{VYN_TIMESTAMP_URL}" CACHE STRING
    "An RFC 3161 timestamp server: the signature then stays valid after the certificate expires")

set(VYN_TEST_SIGNING_DIR "${CMAKE_BINARY_DIR}/signing")
execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/make-test-signing-certs ${VYN_TEST_SIGNING_DIR}
                RESULT_VARIABLE made_test_certificates)
if(NOT made_test_certificates EQUAL 0)
  message(FATAL_ERROR "could not make the test signing certificates (is openssl installed?)")
endif()
find_program(VYN_OSSLSIGNCODE osslsigncode)
if(NOT VYN_OSSLSIGNCODE)
  message(FATAL_ERROR "osslsigncode not found: run scripts/deps first")
endif()

if(VYN_SIGNING_CERT)
  if(NOT EXISTS "${VYN_SIGNING_CERT}" OR NOT EXISTS "${VYN_SIGNING_KEY}")
    message(FATAL_ERROR "VYN_SIGNING_CERT and VYN_SIGNING_KEY must both name existing files")
  endif()
  set(VYN_RELEASE_SIGNING ${VYN_SIGNING_CERT} ${VYN_SIGNING_KEY})
  if(VYN_SIGNING_KEY_PASSWORD_FILE)
    list(APPEND VYN_RELEASE_SIGNING --password-file ${VYN_SIGNING_KEY_PASSWORD_FILE})
  endif()
else()
  message(STATUS "Signing with the test certificate in ${VYN_TEST_SIGNING_DIR}")
  set(VYN_RELEASE_SIGNING ${VYN_TEST_SIGNING_DIR}/ours-chain.crt ${VYN_TEST_SIGNING_DIR}/ours.key)
endif()
if(VYN_TIMESTAMP_URL)
  list(APPEND VYN_RELEASE_SIGNING --timestamp ${VYN_TIMESTAMP_URL})
endif()

# Signs <target>'s program in place once it is linked, with the release
# certificate.
function(vyn_sign_after_build target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/sign-exe $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>
            ${VYN_RELEASE_SIGNING}
    VERBATIM)
endfunction()

# Writes <output>, a copy of <target>'s program signed by the test publisher
# <publisher> (ours or other).
function(vyn_signed_copy output target publisher)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/sign-exe $<TARGET_FILE:${target}> ${output}
            ${VYN_TEST_SIGNING_DIR}/${publisher}.crt ${VYN_TEST_SIGNING_DIR}/${publisher}.key
    DEPENDS ${target} ${CMAKE_SOURCE_DIR}/scripts/sign-exe
    VERBATIM)
endfunction()
