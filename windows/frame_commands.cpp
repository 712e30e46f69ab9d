#include "windows/frame_commands.h"

#include "app/main_frame.h"

void wireFrameCommands(MainFrame& frame)
{
    (void)frame;
}
