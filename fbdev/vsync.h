// Tear-free output, opt-in: wait for the vertical blank before drawing, or draw into the page not
// shown and pan to it. Without it the driver draws straight into the visible memory.
#pragma once

#include <cstdint>

enum : int {
    vsync_off = 0,   // draw at once into the shown memory
    vsync_wait = 1,  // wait for the vertical blank, then draw
    vsync_flip = 2,  // draw into the hidden page, then pan to it
};

extern int vsync_setting;  // what was asked for: vsync_off, vsync_wait or vsync_flip
extern int fbdev_vsync;    // what is in force on the open device; vsync_off when closed
// Set when a new setting changes the way of drawing: the device is reopened before the next frame.
extern bool fbdev_reopen_wanted;
// The calls that wait for the blank (or pan) since the device was opened, and the time in them.
extern uint64_t fbdev_vsync_calls;
extern uint64_t fbdev_vsync_call_us;

// Takes a new setting. Decides at once on an open device when the way of drawing stays, and asks
// for a reopen when it changes (flipping starts or stops).
void change_vsync_setting(int value);

// Once the device is mapped: what of the setting the device can do. Says so when it falls back.
void choose_vsync_mode();
// Where the next frame is drawn, and the rows it may fill from there.
uint8_t* vsync_draw_target(uint32_t* rows);
// Before drawing: waits for the blank when that is in force.
void vsync_before_draw();
// After drawing: shows the drawn page when flipping. False when that failed and the frame has to
// be drawn again where it shows (flipping is then off).
bool vsync_after_draw();
// At close, before the mode is written back: shows the offset found at open again, when our pans
// left another.
void vsync_restore_offset();
// At close: nothing of the device is kept.
void vsync_forget_device();
