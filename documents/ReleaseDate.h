#pragma once
// A file's release date as the platform's date conversion reads it.
#include <string>

struct ReleaseDate {
    double value = 0.0;  // days since 30 December 1899, whole days only
    bool valid = true;
};

// Reads the text the way the user's locale writes dates (VarDateFromStr) and
// keeps the day; text it does not accept gives an invalid date.
ReleaseDate ReleaseDateFromText(const std::string& text);
