#pragma once
// Chooses one of the frame's two toggles and waits until its work, which
// runs on the frame's worker, has ended.
#include <QAction>

#include "app/main_frame.h"
#include "tests/test_support.h"
#include "windows/job_runner.h"

inline bool toggle(MainFrame& frame, QAction* item)
{
    item->trigger();
    auto* jobs = frame.findChild<JobRunner*>("frameJobs");
    return waitFor([&] { return !jobs || !jobs->busy(); }, 60000);
}
