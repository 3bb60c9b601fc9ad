#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tracksieve::app {

/// The columns of the track table. The window description and the toolkit know a column by
/// its id; the controller turns the id into one of these once and decides by it.
enum class TrackColumn { Keep, Number, Name, Peak, Status };

/// The id `column` has in the window description.
std::string columnId(TrackColumn column);

/// The column whose id is `id`, or none.
std::optional<TrackColumn> trackColumnWithId(std::string_view id);

}  // namespace tracksieve::app
