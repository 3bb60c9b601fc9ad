#include "track_columns.h"

#include <array>
#include <utility>

namespace tracksieve::app {
namespace {

constexpr std::array<std::pair<TrackColumn, std::string_view>, 5> kIds = {{
    {TrackColumn::Keep, "keep"},
    {TrackColumn::Number, "num"},
    {TrackColumn::Name, "name"},
    {TrackColumn::Peak, "peak"},
    {TrackColumn::Status, "status"},
}};

}  // namespace

std::string columnId(TrackColumn column) {
    for (const auto& [each, id] : kIds) {
        if (each == column) return std::string(id);
    }
    return {};
}

std::optional<TrackColumn> trackColumnWithId(std::string_view id) {
    for (const auto& [column, each] : kIds) {
        if (each == id) return column;
    }
    return std::nullopt;
}

}  // namespace tracksieve::app
