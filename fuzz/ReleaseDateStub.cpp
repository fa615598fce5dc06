// The fuzz build's stand-in for the platform's date conversion: any text is
// a valid day 0, except empty text, which the handler never passes.
#include "documents/ReleaseDate.h"

ReleaseDate ReleaseDateFromText(const std::string& text) {
    ReleaseDate date;
    date.valid = !text.empty();
    return date;
}
