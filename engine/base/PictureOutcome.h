#pragma once

// What became of a picture that did not convert cleanly.
enum class PictureOutcome {
    Damaged,       // only part of it could be read; the page shows that part
    Undecodable,   // nothing could be read; the page is white
    NotPrepared,   // its page could not be written to the scratch folder
    NotRecognised, // its text could not be recognised; the page is there, not searchable
    ProfileUnused, // its colour profile could not be used; all of it is shown, its colours may be off
};

// A short English phrase for an outcome, for logs and the command line.
const char* DescribeOutcome(PictureOutcome outcome);
