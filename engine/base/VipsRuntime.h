#pragma once

#include <string>

// Starts libvips once per process. Every pipeline runs single-threaded because
// the preparation stage already runs one picture per core, and nothing is
// cached because every picture is new.
void EnsureVipsStarted();

// Forgets what libvips said so far, before a new picture.
void ClearVipsMessages();

// Takes (and clears) the text libvips collected for the failure of the last
// call, each distinct line once, the first said first. Some decoders (libpng)
// only warn instead of setting an error; their warnings stand in then.
std::string TakeVipsError();

// The warnings decoders gave since the last ClearVipsMessages, one a line,
// left in place.
std::string RecentVipsWarnings();
