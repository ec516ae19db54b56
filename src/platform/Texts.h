#pragma once
// The texts the player shows, one set for the process: the message texts and
// the menus' captions, English until the language table appended to the
// player's file replaces them (film/LanguageTable.h reads and parses the
// table and fills them), and that table as read.
#include <string>

namespace movarel {

struct MessageTexts {
    std::string Error = "Error";
    std::string Loading = "Loading ...";
    std::string InvalidVersionFormat = "Segment %d need Movarel of other version to play\r";
    std::string Warning = "Warning";
    std::string SegmentCountFmt = "Segments count: %d";
    std::string WrongFile = "Invalid file format: %s";
    std::string WrongDisplaySettings = "Wrong display settings (%d bit color)";
    std::string CannotOpenFileFmt = "Cannot open file %s";
    std::string CannotCreateTempFile = "Cannot create temporary file";
    std::string VideoDecompressorError = "Video decompressor error";
    std::string Segments = "Segments";
};

// The menus' captions (UTF-8). The same texts label the panel's tooltips and
// the help box.
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
    std::string ContextHelp = "Context Help";
    std::string Close = "Close";
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

// The message texts are its own members (Texts().Error).
struct ShownTexts : MessageTexts {
    CaptionTexts Captions;
    // The table as read from the player's file: Key = Value lines in a
    // Windows code page; empty when there is none.
    std::string LanguageTable;
    bool HasLanguageTable() const { return !LanguageTable.empty(); }
};

// The texts of the process. They hold their English values from the first
// use, so code that runs without the shell's start-up (tools, tests) shows
// real texts.
ShownTexts& Texts();

// Gives every message text and caption its English value again; the table
// stays.
void SetDefaultTexts();

}  // namespace movarel
