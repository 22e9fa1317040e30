#include "controls/DisRangeTrackBar.h"

namespace morvex {

TDisRangeTrackBar::TDisRangeTrackBar(QWidget* parent)
    : TTrackBar(parent) {
    // The plain trackbar always asks for the range; this one starts without it.
    setSelRangeShown(false);
}

void TDisRangeTrackBar::setEnableSelRange(bool value) {
    m_enableSelRange = value;
    setSelRangeShown(value);
}

} // namespace morvex
