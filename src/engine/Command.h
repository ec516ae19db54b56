#pragma once
// The player's command ids: the menus, the shortcuts and the panel's buttons
// run them. They are the main window's command numbers, which the panel's
// error box shows ("BottomPanel: WndProc error: Msg = ..."), so their values
// stay as they are.

namespace movarel::cmd {

constexpr int Exit = 100;
constexpr int Load = 101;
constexpr int Properties = 102;
constexpr int Play = 110;
constexpr int Pause = 111;
constexpr int Stop = 112;
constexpr int Segments = 113;
constexpr int PrevSegment = 114;
constexpr int NextSegment = 115;
constexpr int ShowPanel = 120;
constexpr int FullScreen = 121;
constexpr int ResumeFilms = 122;
constexpr int ContextHelp = 130;
constexpr int About = 131;
// Seeking and speed, from the keys and the Actions menu.
constexpr int PlayPause = 140;
constexpr int SeekBack = 141;
constexpr int SeekForward = 142;
constexpr int SeekForwardMinute = 143;
constexpr int SeekBackMinute = 144;
constexpr int FrameForward = 145;
constexpr int FrameBack = 146;
constexpr int FirstFrame = 147;
constexpr int Slower = 148;
constexpr int Faster = 149;

}  // namespace movarel::cmd
