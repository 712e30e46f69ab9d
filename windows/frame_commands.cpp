#include "windows/frame_commands.h"

#include "app/main_frame.h"
#include "sdk/sdk_session.h"
#include "windows/decode_window.h"
#include "windows/encode_window.h"
#include "windows/key_list_window.h"

void wireFrameCommands(MainFrame& frame)
{
    // The two toggles decide by the session's state, never by the item text.
    frame.setCommandHandler(MainFrame::Command::LoadKeys, [] {
        if (sdk::sessionSnapshot().KeySet)
            sdk::PGP_UnloadKeys();
        else
            sdk::PGP_LoadKeys();
    });
    frame.setCommandHandler(MainFrame::Command::EncodePGP, [&frame] { EncodeWindow::open(frame); });
    frame.setCommandHandler(MainFrame::Command::DecodePGP, [&frame] { DecodeWindow::open(frame); });
    frame.setCommandHandler(MainFrame::Command::KeyList, [&frame] { KeyListWindow::open(frame); });
    frame.setCommandHandler(MainFrame::Command::LoadPGP, [] {
        if (sdk::sessionSnapshot().LibraryLoaded)
            sdk::UnLoad_PGP();
        else
            sdk::PGP_LoadRings();
    });
}
