#pragma once

class MainFrame;

// Connects the frame's PGP menu to the SDK toggles and the child windows.
void wireFrameCommands(MainFrame& frame);
