// Transcript text the cleaning would lose, rewritten as the words a speaker says.
#pragma once

#include <string>
#include <string_view>

namespace Vantrix {

// Folds accented Latin letters (UTF-8, or single Latin-1 bytes) to their base letters and
// typographic quotes and dashes to their ASCII forms, and spells numbers out in upper-case words:
// "café" -> "cafe", "42" -> " FORTY TWO ", "1984" -> " NINETEEN EIGHTY FOUR ", "$5" ->
// " FIVE DOLLARS ", "3.14" -> " THREE POINT ONE FOUR ", "50%" and "2nd" likewise. Anything else
// is copied as it is.
std::string SpellOutTranscript(std::string_view text);

} // namespace Vantrix
