#pragma once

namespace tracksieve {

/// What the user decided for one source channel; a writer follows the threshold unless told.
enum class TrackChoice {
    FollowThreshold,  // kept unless its peak stays below the threshold
    Keep,
    Remove,
};

}  // namespace tracksieve
