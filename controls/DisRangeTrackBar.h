#pragma once

#include "controls/TrackBar.h"

namespace morvex {

/// The trackbar whose channel shows no selection range unless EnableSelRange asks for it.
class TDisRangeTrackBar : public TTrackBar {
    Q_OBJECT
    Q_PROPERTY(bool EnableSelRange READ enableSelRange WRITE setEnableSelRange)

public:
    explicit TDisRangeTrackBar(QWidget* parent = nullptr);

    bool enableSelRange() const { return m_enableSelRange; }
    /// True shows the band from SelStart to SelEnd, false hides it.
    void setEnableSelRange(bool value);

private:
    bool m_enableSelRange = false;
};

} // namespace morvex
