#pragma once
// The background's panels (left, top, right, bottom): the picture draws
// them, and every control of the editor sits inside one of them.
struct PanelRect
{
  int l, t, r, b;
  bool well = false;  // the waveform's panel, darker
};

// The header strip, with its accent line along the bottom edge.
constexpr PanelRect kHeaderPanel{0, 0, 815, 52};

constexpr PanelRect kPanels[] = {
  {10, 60, 117, 540},   // buffers, fill and gain control
  {120, 60, 625, 260, true},  // the waveform well
  {632, 60, 805, 280},  // playhead and grains
  {120, 270, 574, 540}, // keyboard, play rate, filter and envelopes
  {580, 285, 805, 540}, // logo, glide, voices and output
};
