#include "PictureOutcome.h"

const char* DescribeOutcome(PictureOutcome outcome) {
    switch (outcome) {
    case PictureOutcome::Damaged:
        return "damaged, shown in part";
    case PictureOutcome::Undecodable:
        return "could not be read, white page";
    case PictureOutcome::NotPrepared:
        return "page could not be written";
    case PictureOutcome::NotRecognised:
        return "text not recognised, page not searchable";
    case PictureOutcome::ProfileUnused:
        return "colour profile not used, colours may be off";
    }
    return "unknown";
}
