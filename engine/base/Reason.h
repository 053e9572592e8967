#pragma once

#include <string>
#include <string_view>

// What a user reads about a failure: the first meaningful line of the full
// text that a decoder, the PDF library or the system produced, cut to about
// 200 characters (never inside a UTF-8 character). Decoders often explain one
// fault in kilobytes of repeated warnings; the first line names it.
std::string BriefReason(std::string_view full);

// The full text kept beside the brief one, bounded so that a flood of
// warnings cannot grow a report without limit.
std::string BoundedDetail(std::string_view full);

// What a user reads about a picture that could not be read, or only in part:
// the decoders' common failures (corrupt PNG or JPEG data, a file cut short,
// a TIFF read error, an unknown kind of file, a missing or unreadable file,
// too little memory) in plain words, with what can be done where something
// can; any other failure as BriefReason gives it. The decoder's own words
// belong in the detail kept beside it.
std::string PictureReason(std::string_view full);
