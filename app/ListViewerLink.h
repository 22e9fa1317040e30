#pragma once

namespace morvex {

class TListF;
class TMorvexF;

/// Joins the list viewer to the main window: its round buttons load and show the viewer, which
/// reads the window's list patterns and releases both buttons when it closes.
void attachListViewer(TMorvexF& window, TListF& viewer);

} // namespace morvex
