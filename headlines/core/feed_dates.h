#pragma once
// The dates feeds write, as seconds since the epoch. Both readers take what
// real feeds write beyond the letter of their standard and give 0 for a date
// they cannot read or one before 1970.
#include <ctime>
#include <string_view>

namespace headlines {

// RFC 822 as RSS writes it: "Sat, 07 Sep 2002 09:42:31 GMT", with or without
// the weekday and the seconds, a named zone (UT, GMT, EST, PDT, Z, ...) or a
// numeric one (+0200, also +02:00), two- or four-digit years, full month
// names. A missing zone is taken as UTC.
std::time_t ParseRfc822Date(std::string_view text);

// RFC 3339 as Atom and dc:date write it: "2002-09-07T09:42:31Z",
// "2002-09-07T11:42:31.25+02:00"; also the shorter W3C forms "2002-09-07",
// "2002-09-07T09:42Z" and a space for the "T". A missing zone is taken as UTC.
std::time_t ParseRfc3339Date(std::string_view text);

// Whichever of the two the text is written in.
std::time_t ParseFeedDate(std::string_view text);

} // namespace headlines
