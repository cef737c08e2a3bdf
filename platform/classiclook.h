#pragma once

// The look the windows were drawn for: the classic Windows style, its grey palette and the
// "MS Sans Serif" 8.25 pt window font, with metric-compatible fonts standing in for the Windows ones.
namespace classiclook {

void apply();

} // namespace classiclook
