#pragma once
// The menus' caption texts: English until the language table replaces them.
// The same texts label the panel's tooltips and the help box.
#include <string>

namespace movarel {

struct CaptionTexts {
    std::string File = "File";
    std::string Actions = "Actions";
    std::string View = "View";
    std::string Help = "Help";
    std::string Load = "Load";
    std::string Properties = "Properties";
    std::string Exit = "Exit";
    std::string Play = "Play";
    std::string Pause = "Pause";
    std::string Stop = "Stop";
    std::string Segments = "Segments";
    std::string Prev = "Previous segment";
    std::string Next = "Next segment";
    std::string ShowPanel = "Show control panel";
    std::string FullScreen = "Full screen";
    std::string About = "About";
    std::string Speed = "Speed";
    std::string Volume = "Volume";
    std::string Progress = "Progress";
    std::string SaveFrame = "Save frame";
    std::string Recent = "Recent films";
    std::string PlayPause = "Play/Pause";
    std::string SeekBack = "Back 5 seconds";
    std::string SeekForward = "Forward 5 seconds";
    std::string SeekBackMinute = "Back 1 minute";
    std::string SeekForwardMinute = "Forward 1 minute";
    std::string FrameBack = "Previous frame";
    std::string FrameForward = "Next frame";
    std::string FirstFrame = "First frame";
    std::string Slower = "Slower";
    std::string Faster = "Faster";
    // Centred in the picture area of a player without a film.
    std::string DropHint = "Drop a film here, or press Ctrl+O to open one";
    // %s is the time the film went on from.
    std::string Resumed = "Resumed at %s \xE2\x80\x94 Home goes to the start";
    std::string ResumeFilms = "Resume films where they were left";
};

// The caption texts of the process (UTF-8).
CaptionTexts& Captions();

}  // namespace movarel
