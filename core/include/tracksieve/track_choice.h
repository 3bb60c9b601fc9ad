#pragma once

namespace tracksieve {

/// What the user decided for one source channel; a writer follows the threshold unless told.
enum class TrackChoice { FollowThreshold, Keep, Remove };

}  // namespace tracksieve
