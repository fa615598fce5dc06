#pragma once
// SHA-256 (FIPS 180-4) of a byte string, as 64 lower-case hexadecimal
// digits: the digest the service publishes for each file it lists.
#include <string>

std::string Sha256Hex(const std::string& bytes);
