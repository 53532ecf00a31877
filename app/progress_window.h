#pragma once

// The extraction on a worker thread, with a progress window on the calling
// thread for a person to watch and cancel it (app/progress.h: when it shows
// and what it holds). The window is a class of our own drawn with GDI and
// the system's message font: it loads no library beyond user32 and gdi32.

#include <windows.h>

#include <functional>
#include <string>

#include "container/extract.h"

namespace trevan {

// The extraction as the run starts it, reporting to progress.
using extraction_job = std::function<extraction_result(extraction_progress& progress)>;

// Runs job on a worker thread and returns its result. When may_show and the
// job is still running progress_delay_ms after it began, a window titled
// product_name shows the bytes checked and a Cancel button; Cancel, like
// closing the window, asks the job to stop at its next piece. The window is
// gone before this returns; its messages are handled while the job runs, and
// the job never waits for them. Where no thread can be started, the job runs
// on the calling thread without a window. Rethrows what the job throws.
extraction_result extract_with_progress(HINSTANCE instance, const std::wstring& product_name, bool may_show,
                                        const extraction_job& job);

}  // namespace trevan
