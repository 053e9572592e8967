#include "JobState.h"

JobState& SharedJobState() {
    static JobState state;
    return state;
}
