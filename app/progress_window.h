#pragma once

// The extraction with a progress window for a person to watch and cancel
// it (app/progress.h: when it shows and what it holds). The extraction runs
// on the calling thread; the window gets a thread of its own only when it
// shows, so a run that is over within a second starts no thread at all. The
// window is a class of our own drawn with GDI and the system's message font:
// it loads no library beyond user32 and gdi32.

#include <windows.h>

#include <functional>
#include <string>

#include "app/progress.h"
#include "container/extract.h"

namespace trevan {

// The extraction as the run starts it, reporting to progress.
using extraction_job = std::function<extraction_result(extraction_progress& progress)>;

// Runs job on the calling thread and returns its result. When may_show and
// the job is still running progress_delay_ms after it began (seen at its
// next chunk or piece), a window with texts shows the bytes checked and a
// Cancel button; Cancel, like closing the window, asks the job
// to stop at its next piece. The window's thread handles its messages while
// the job runs and never waits for it; the window is gone before this
// returns. Without a thread for it, the job runs without a window. Throws
// what the job throws.
extraction_result extract_with_progress(HINSTANCE instance, const progress_texts& texts, bool may_show,
                                        const extraction_job& job);

}  // namespace trevan
